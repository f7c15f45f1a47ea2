<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en_US" sourcelanguage="pl_PL">
<context>
    <name>ConfigCommands</name>
    <message>
        <source>błąd: </source>
        <translation>error: </translation>
    </message>
    <message>
        <source>nadal </source>
        <translation>still </translation>
    </message>
    <message>
        <source>niepotwierdzone: </source>
        <translation>unconfirmed: </translation>
    </message>
    <message>
        <source>nie zapisano</source>
        <translation>not written</translation>
    </message>
    <message>
        <source>konfiguracja (*.json);;wszystkie pliki (*)</source>
        <translation>configuration (*.json);;all files (*)</translation>
    </message>
    <message>
        <source>trwa inna operacja</source>
        <translation>another operation is in progress</translation>
    </message>
    <message>
        <source>brak połączenia !</source>
        <translation>no connection !</translation>
    </message>
    <message>
        <source>adres 0 niedozwolony</source>
        <translation>address 0 not allowed</translation>
    </message>
    <message>
        <source>brak rejestrów konfiguracji</source>
        <translation>no configuration registers</translation>
    </message>
    <message>
        <source>brak rejestrów do porównania</source>
        <translation>no registers to compare</translation>
    </message>
    <message>
        <source>odczyt rejestrów…</source>
        <translation>reading registers…</translation>
    </message>
    <message>
        <source>przerwano, pliku nie zapisano</source>
        <translation>stopped, the file was not saved</translation>
    </message>
    <message>
        <source>przerwano
</source>
        <translation>stopped
</translation>
    </message>
    <message>
        <source>: nie porównano (%1)</source>
        <translation>: not compared (%1)</translation>
    </message>
    <message>
        <source>: nie odczytano (%1)</source>
        <translation>: not read (%1)</translation>
    </message>
    <message>
        <source>
nie odczytano: %1</source>
        <translation>
not read: %1</translation>
    </message>
    <message>
        <source>
nie porównano: %1</source>
        <translation>
not compared: %1</translation>
    </message>
    <message>
        <source>zapisano konfigurację: </source>
        <translation>configuration saved: </translation>
    </message>
    <message>
        <source>zapisano rejestrów: %1</source>
        <translation>registers saved: %1</translation>
    </message>
    <message>
        <source>: w pliku %1, w urządzeniu %2</source>
        <translation>: in file %1, in device %2</translation>
    </message>
    <message>
        <source>%1 różnic</source>
        <translation>%1 differences</translation>
    </message>
    <message>
        <source>nic do przywrócenia</source>
        <translation>nothing to restore</translation>
    </message>
    <message>
        <source>
pominięte (tylko do odczytu): %1</source>
        <translation>
skipped (read-only): %1</translation>
    </message>
    <message>
        <source>zapis rejestrów…</source>
        <translation>writing registers…</translation>
    </message>
    <message>
        <source>rejestry do zmiany:</source>
        <translation>registers to change:</translation>
    </message>
    <message>
        <source>
%1: %2 → %3</source>
        <translation>
%1: %2 → %3</translation>
    </message>
    <message>
        <source> (ustawienie linii)</source>
        <translation> (line setting)</translation>
    </message>
    <message>
        <source>
zapisać ?</source>
        <translation>
write ?</translation>
    </message>
    <message>
        <source>
%1: %2</source>
        <translation>
%1: %2</translation>
    </message>
    <message>
        <source>zapisano: %1</source>
        <translation>written: %1</translation>
    </message>
    <message>
        <source>
błędy: %1</source>
        <translation>
errors: %1</translation>
    </message>
    <message>
        <source>
nadal różne: %1</source>
        <translation>
still different: %1</translation>
    </message>
    <message>
        <source>
niepotwierdzone: %1</source>
        <translation>
unconfirmed: %1</translation>
    </message>
    <message>
        <source>
zmieniono ustawienia linii – naciśnij Reset i połącz się ponownie:</source>
        <translation>
line settings changed – press Reset and connect again:</translation>
    </message>
    <message>
        <source>nie ma w definicji</source>
        <translation>not in the definition</translation>
    </message>
    <message>
        <source>inny typ w definicji</source>
        <translation>another type in the definition</translation>
    </message>
    <message>
        <source>inna liczba rejestrów w definicji</source>
        <translation>another number of registers in the definition</translation>
    </message>
    <message>
        <source>w pliku bez wartości</source>
        <translation>no value in the file</translation>
    </message>
    <message>
        <source>niepełna odpowiedź</source>
        <translation>incomplete reply</translation>
    </message>
    <message>
        <source>błąd CRC</source>
        <translation>CRC error</translation>
    </message>
    <message>
        <source>brak odpowiedzi</source>
        <translation>no reply</translation>
    </message>
    <message>
        <source>nie odczytano</source>
        <translation>not read</translation>
    </message>
    <message>
        <source>plik zapisano dla typu %1</source>
        <translation>the file was saved for the type %1</translation>
    </message>
    <message>
        <source>przerwano: wczytano inną definicję</source>
        <translation>stopped: another definition was loaded</translation>
    </message>
    <message>
        <source>wyjątek %1</source>
        <translation>exception %1</translation>
    </message>
</context>
<context>
    <name>Form1</name>
    <message>
        <source>nie można zapisać ustawień: %1</source>
        <translation>cannot save the settings: %1</translation>
    </message>
    <message>
        <source>port %1 zajęty przez inny program</source>
        <translation>port %1 is in use by another program</translation>
    </message>
    <message>
        <source>nie znaleziono portu %1</source>
        <translation>port %1 not found</translation>
    </message>
    <message>
        <source>port %1 nie przyjął ustawień</source>
        <translation>port %1 did not accept the settings</translation>
    </message>
    <message>
        <source>port %1 zniknął - połączenie przerwane</source>
        <translation>port %1 disappeared - connection lost</translation>
    </message>
    <message>
        <source>nie można otworzyć portu %1</source>
        <translation>cannot open port %1</translation>
    </message>
    <message>
        <source>nie można otworzyć portu %1: %2</source>
        <translation>cannot open port %1: %2</translation>
    </message>
    <message>
        <source>Esc - zamknij pomoc</source>
        <translation>Esc - close help</translation>
    </message>
    <message>
        <source>F1 - pomoc</source>
        <translation>F1 - help</translation>
    </message>
    <message>
        <source>wybierz port szeregowy</source>
        <translation>choose a serial port</translation>
    </message>
    <message>
        <source>nie wybrano rejestru</source>
        <translation>no register selected</translation>
    </message>
    <message>
        <source>Okno rejestrów</source>
        <translation>Register window</translation>
    </message>
    <message>
        <source>Okno logów</source>
        <translation>Log window</translation>
    </message>
    <message>
        <source>Przetwornik</source>
        <translation>Transducer</translation>
    </message>
    <message>
        <source>Typ:</source>
        <translation>Type:</translation>
    </message>
    <message>
        <source>Adres:</source>
        <translation>Address:</translation>
    </message>
    <message>
        <source>Połączenie</source>
        <translation>Connection</translation>
    </message>
    <message>
        <source>Port szer:</source>
        <translation>Serial port:</translation>
    </message>
    <message>
        <source>Szybkość:</source>
        <translation>Baud rate:</translation>
    </message>
    <message>
        <source>Parzystość:</source>
        <translation>Parity:</translation>
    </message>
    <message>
        <source>Połącz</source>
        <translation>Connect</translation>
    </message>
    <message>
        <source>Rozłącz</source>
        <translation>Disconnect</translation>
    </message>
    <message>
        <source>Szukaj…</source>
        <translation>Search…</translation>
    </message>
    <message>
        <source>Wyszukiwanie przetworników na linii</source>
        <translation>Search the line for transducers</translation>
    </message>
    <message>
        <source>Rejestr:</source>
        <translation>Register:</translation>
    </message>
    <message>
        <source>Interwał:</source>
        <translation>Interval:</translation>
    </message>
    <message>
        <source>cała lista</source>
        <translation>whole list</translation>
    </message>
    <message>
        <source>rejestruj wszystkie rejestry listy (interwał także w dziesiątych s)</source>
        <translation>record every register of the list (interval also in tenths of a second)</translation>
    </message>
    <message>
        <source>Wyczyść</source>
        <translation>Clear</translation>
    </message>
    <message>
        <source>Kopiuj</source>
        <translation>Copy</translation>
    </message>
    <message>
        <source>Zapisz do pliku</source>
        <translation>Save to file</translation>
    </message>
    <message>
        <source>Ruch na linii</source>
        <translation>Line traffic</translation>
    </message>
    <message>
        <source>Otwórz folder nagrań</source>
        <translation>Open recordings folder</translation>
    </message>
    <message>
        <source>Wykres nagrania</source>
        <translation>Recording trend</translation>
    </message>
    <message>
        <source>Język (Language)</source>
        <translation>Language (Język)</translation>
    </message>
    <message>
        <source>Dodaj do listy</source>
        <translation>Add to list</translation>
    </message>
    <message>
        <source>Zapisz konfigurację…</source>
        <translation>Save configuration…</translation>
    </message>
    <message>
        <source>Porównaj z plikiem…</source>
        <translation>Compare with file…</translation>
    </message>
    <message>
        <source>Przywróć z pliku…</source>
        <translation>Restore from file…</translation>
    </message>
    <message>
        <source>Lista rejestrów</source>
        <translation>Register list</translation>
    </message>
    <message>
        <source>Usuń z listy</source>
        <translation>Remove from list</translation>
    </message>
    <message>
        <source>Przesuń w górę</source>
        <translation>Move up</translation>
    </message>
    <message>
        <source>Przesuń w dół</source>
        <translation>Move down</translation>
    </message>
    <message>
        <source>Rejestarcja</source>
        <translation>Record</translation>
    </message>
    <message>
        <source>Znajdź kolejność słów…</source>
        <translation>Find the word order…</translation>
    </message>
    <message>
        <source>połączenie z %1 przerwane</source>
        <translation>connection to %1 lost</translation>
    </message>
    <message>
        <source>niepoprawny adres %1 - wpisz tcp://host:port lub rtu+tcp://host:port</source>
        <translation>bad address %1 - type tcp://host:port or rtu+tcp://host:port</translation>
    </message>
    <message>
        <source>%1 odrzucił połączenie</source>
        <translation>%1 refused the connection</translation>
    </message>
    <message>
        <source>nieznany host w adresie %1</source>
        <translation>unknown host in address %1</translation>
    </message>
    <message>
        <source>brak odpowiedzi %1 - upłynął czas łączenia</source>
        <translation>no answer from %1 - connection timed out</translation>
    </message>
    <message>
        <source>nie dotyczy połączenia TCP</source>
        <translation>does not apply to a TCP link</translation>
    </message>
    <message>
        <source>przerwano łączenie z %1</source>
        <translation>gave up connecting to %1</translation>
    </message>
    <message>
        <source>łączenie z %1… (&apos;Rozłącz&apos; przerywa)</source>
        <translation>connecting to %1… (&apos;Rozłącz&apos; gives up)</translation>
    </message>
</context>
<context>
    <name>Help</name>
    <message>
        <source>I. KOMUNIKACJA</source>
        <translation>I. COMMUNICATION</translation>
    </message>
    <message>
        <source>    W celu połączenia się z przetwornikiem należy:</source>
        <translation>    To connect to a transducer:</translation>
    </message>
    <message>
        <source>    1° wybrać port szeregowy</source>
        <translation>    1° choose the serial port</translation>
    </message>
    <message>
        <source>    2° ustawić parametry transmisji:</source>
        <translation>    2° set the transmission parameters:</translation>
    </message>
    <message>
        <source>        szybkość transmisji - domyślnie 19200bps</source>
        <translation>        baud rate - 19200bps by default</translation>
    </message>
    <message>
        <source>        kontrola parzystość - domyślnie &apos;even&apos;</source>
        <translation>        parity - &apos;even&apos; by default</translation>
    </message>
    <message>
        <source>    3°  wcisnąć klawisz &apos;Połącz&apos;</source>
        <translation>    3°  press the &apos;Connect&apos; button</translation>
    </message>
    <message>
        <source>Gdy nie wystąpiły żadne błędy podczas inicjalizacji połączenia </source>
        <translation>When no errors occurred while the connection was set up, </translation>
    </message>
    <message>
        <source>zapali się na zielono wskaźnik przy klawiszu &apos;Połącz&apos; wskazując na</source>
        <translation>the indicator beside the &apos;Connect&apos; button turns green, showing that</translation>
    </message>
    <message>
        <source>poprawne skonfigurowanie i otwarcie wybranego portu szeregowego.</source>
        <translation>the chosen serial port was configured and opened correctly.</translation>
    </message>
    <message>
        <source>Wskaźnik może zapalić się na czerwono w przypadku wystąpienia błędów </source>
        <translation>The indicator turns red when errors occur </translation>
    </message>
    <message>
        <source>lub może być wygaszony (szary) gdy połączenie zostało przerwane </source>
        <translation>or goes out (grey) when the connection has been closed </translation>
    </message>
    <message>
        <source>(np. przyciskiem &apos;Rozłącz&apos;).</source>
        <translation>(e.g. with the &apos;Disconnect&apos; button).</translation>
    </message>
    <message>
        <source>Gdy uzyskaliśmy poprawne połączenie (wskaźnik połączenia świeci na </source>
        <translation>Once the connection is good (the connection indicator shows </translation>
    </message>
    <message>
        <source>zielono) - należy wybrać typ przetwornika w polu &apos;Typ&apos; oraz ustalić</source>
        <translation>green) - choose the transducer&apos;s type in the &apos;Type&apos; box and set</translation>
    </message>
    <message>
        <source>jego adres na magistrali (adresy z zakresu 1÷247, domyślnie 1)</source>
        <translation>its address on the bus (addresses 1÷247, 1 by default)</translation>
    </message>
    <message>
        <source>Wybranie typu przetwornika wyświetla drzewo rejestrów przetwornika.</source>
        <translation>Choosing the transducer&apos;s type shows the transducer&apos;s register tree.</translation>
    </message>
    <message>
        <source>II. ZAPIS I ODCZYT WARTOŚCI REJESTRÓW MODBUS</source>
        <translation>II. WRITING AND READING MODBUS REGISTER VALUES</translation>
    </message>
    <message>
        <source>    By odczytać wartość wybranego rejestru - należy dwukrotnie </source>
        <translation>    To read the value of a register, double-click </translation>
    </message>
    <message>
        <source>kliknąć nazwę rejestru, który ma być odczytany.</source>
        <translation>the name of the register to be read.</translation>
    </message>
    <message>
        <source>Odczytane wartości wyświetlane są w kolumnie &apos;Wartość&apos;.</source>
        <translation>The values read are shown in the &apos;Value&apos; column.</translation>
    </message>
    <message>
        <source>Możliwy jest odczyt grupy rejestrów - należy dwukrotnie kliknąć nazwę grupy.</source>
        <translation>A group of registers can be read too - double-click the group&apos;s name.</translation>
    </message>
    <message>
        <source>Zapis nowej wartości do rejestru możliwy jest tylko dla niektórych </source>
        <translation>A new value can be written only to some </translation>
    </message>
    <message>
        <source>rejestrów. Rejestry te mają adresy wyświetlane w kolorze niebieskim.</source>
        <translation>registers. Their addresses are shown in blue.</translation>
    </message>
    <message>
        <source>Pozostałe rejestry są tylko do odczytu (kolumna adresów w kolorze czarnym).</source>
        <translation>The other registers are read-only (address column in black).</translation>
    </message>
    <message>
        <source>By wpisać nową wartość do rejestru nalezy dukrotnie kliknąć pole </source>
        <translation>To enter a new value into a register, double-click the field </translation>
    </message>
    <message>
        <source>w kolumnie &apos;Wartosc&apos; dla wybranego rejestru. </source>
        <translation>in the &apos;Value&apos; column of the register. </translation>
    </message>
    <message>
        <source>Po wpisaniu nowej wartości i zatwierdzeniu klawiszem [Enter].</source>
        <translation>Type the new value and confirm it with [Enter].</translation>
    </message>
    <message>
        <source>Nowa wartość zostaje wysłana do przetwornika - co zostaje </source>
        <translation>The new value is sent to the transducer - which is </translation>
    </message>
    <message>
        <source>zasygnalizowane przez wyświetlenie nowej wartości w kolorze czerwonym </source>
        <translation>shown by the new value appearing in red </translation>
    </message>
    <message>
        <source>(kolumna &apos;Wartosc&apos;).</source>
        <translation>(column &apos;Value&apos;).</translation>
    </message>
    <message>
        <source>W części rejestrów - lista dopuszczalnych wartości jest wyświetlona </source>
        <translation>For some registers the list of allowed values is shown </translation>
    </message>
    <message>
        <source>jako zbiór opcji.</source>
        <translation>as a set of options.</translation>
    </message>
    <message>
        <source>Po kliknięciu wybranej opcji - nowa wartość rejestru zostaje przesłana </source>
        <translation>A click on an option sends the register&apos;s new value </translation>
    </message>
    <message>
        <source>do przetwornika.</source>
        <translation>to the transducer.</translation>
    </message>
    <message>
        <source>UWAGA: zmiana wartości rejestrów przetwornika takich jak:</source>
        <translation>NOTE: changes of the transducer&apos;s registers such as:</translation>
    </message>
    <message>
        <source>    szybkość transmisji,</source>
        <translation>    baud rate,</translation>
    </message>
    <message>
        <source>    kontrola parzystości,</source>
        <translation>    parity,</translation>
    </message>
    <message>
        <source>    adres przetwornika</source>
        <translation>    the transducer&apos;s address</translation>
    </message>
    <message>
        <source>zostaną użyte przez przetwornik dopiero po zresetowaniu przetwornika </source>
        <translation>take effect in the transducer only after it has been reset </translation>
    </message>
    <message>
        <source>za pomocą przycisku &apos;Reset&apos;.</source>
        <translation>with the &apos;Reset&apos; button.</translation>
    </message>
    <message>
        <source>Po takiej zmianie należy odpowiednio zmienić ustawienia komunikacji.</source>
        <translation>After such a change, change the connection settings to match.</translation>
    </message>
    <message>
        <source>III. REJESTRACJA</source>
        <translation>III. RECORDING</translation>
    </message>
    <message>
        <source>Po wybraniu rejestru (np. &apos;Temperatura&apos;) jego nazwa zostaje wyświetlona jest w polu &apos;Rejestr&apos;.</source>
        <translation>When a register is chosen (e.g. &apos;Temperature&apos;) its name is shown in the &apos;Register&apos; box.</translation>
    </message>
    <message>
        <source>Czas pomiędzy kolejnymi zapytaniami wysyłanymi do przetwornika (w sekundach) określa pole &apos;Interwał&apos;.</source>
        <translation>The time between requests sent to the transducer (in seconds) is set in the &apos;Interval&apos; box.</translation>
    </message>
    <message>
        <source>Rejestracja uruchomiona zostaje klawiszem &apos;Rejestracja&apos;.  </source>
        <translation>The recording is started with the &apos;Record&apos; button.  </translation>
    </message>
    <message>
        <source>Standardowo wpis zawiera kolumny: </source>
        <translation>Each entry holds the columns: </translation>
    </message>
    <message>
        <source>    czas odczytu rejestracji (s), </source>
        <translation>    time of the reading (s), </translation>
    </message>
    <message>
        <source>    zdekodowaną wartość rejestru</source>
        <translation>    the register&apos;s decoded value</translation>
    </message>
    <message>
        <source>Na czas rejestracji okno rejestrów oraz okno logów zostają zablokowane.</source>
        <translation>While recording, the register window and the log window are locked.</translation>
    </message>
    <message>
        <source>Po zakończeniu rejestracji zawartość okna logów można zapisać na dysku</source>
        <translation>After the recording, the log window&apos;s content can be saved to disk</translation>
    </message>
    <message>
        <source>( klik prawym klawiszem myszy na obszarze okna logów i wybranie polecenia </source>
        <translation>( right-click in the log window and choose </translation>
    </message>
    <message>
        <source>&apos;zapisz do pliku&apos;)</source>
        <translation>&apos;save to file&apos;)</translation>
    </message>
    <message>
        <source>IV. LISTA REJESTRÓW, NAGRANIA I WYKRES</source>
        <translation>IV. REGISTER LIST, RECORDINGS AND TREND</translation>
    </message>
    <message>
        <source>Rejestry dodane poleceniem &apos;Dodaj do listy&apos; tworzą listę rejestrów;</source>
        <translation>Registers added with &apos;Add to list&apos; make up the register list;</translation>
    </message>
    <message>
        <source>pokazuje ją i ukrywa polecenie &apos;Lista rejestrów&apos; (Ctrl+L).</source>
        <translation>&apos;Register list&apos; (Ctrl+L) shows and hides it.</translation>
    </message>
    <message>
        <source>Na liście: &apos;Usuń z listy&apos; (Delete), &apos;Przesuń w górę&apos;/&apos;w dół&apos; (Ctrl+strzałka).</source>
        <translation>In the list: &apos;Remove from list&apos; (Delete), &apos;Move up&apos;/&apos;down&apos; (Ctrl+arrow).</translation>
    </message>
    <message>
        <source>Po zaznaczeniu &apos;cała lista&apos; klawisz &apos;Rejestarcja&apos; zapisuje wszystkie rejestry</source>
        <translation>With &apos;whole list&apos; ticked, the &apos;Record&apos; button records every register</translation>
    </message>
    <message>
        <source>Każde nagranie trafia też do pliku CSV w folderze nagrań</source>
        <translation>Every recording also goes to a CSV file in the recordings folder</translation>
    </message>
    <message>
        <source>(&apos;Otwórz folder nagrań&apos; w menu okna logów) oraz na wykres obok okna logów:</source>
        <translation>(&apos;Open recordings folder&apos; in the log window&apos;s menu) and to the trend beside the log:</translation>
    </message>
    <message>
        <source>kółko myszy zmienia skalę czasu, &apos;śledź&apos; pokazuje najnowszy odczyt,</source>
        <translation>the mouse wheel changes the time scale, &apos;follow&apos; keeps the newest reading in view,</translation>
    </message>
    <message>
        <source>V. WYSZUKIWANIE PRZETWORNIKÓW</source>
        <translation>V. SEARCHING FOR TRANSDUCERS</translation>
    </message>
    <message>
        <source>Klawisz &apos;Szukaj…&apos; przeszukuje linię: dla wybranych szybkości i parzystości</source>
        <translation>The &apos;Search…&apos; button searches the line: for the chosen baud rates and parities</translation>
    </message>
    <message>
        <source>pyta każdy adres z zakresu (tylko odczyt, nigdy zapis) i pokazuje, kto odpowiedział.</source>
        <translation>it asks every address of the range (reads only, never writes) and shows who answered.</translation>
    </message>
    <message>
        <source>&apos;Użyj&apos; ustawia port, szybkość, parzystość i adres wybranego przetwornika i łączy.</source>
        <translation>&apos;Use&apos; sets the port, baud rate, parity and address of the chosen transducer and connects.</translation>
    </message>
    <message>
        <source>VI. RUCH NA LINII</source>
        <translation>VI. LINE TRAFFIC</translation>
    </message>
    <message>
        <source>Polecenie &apos;Ruch na linii&apos; w menu okna logów (Ctrl+T) pokazuje każde zapytanie</source>
        <translation>&apos;Line traffic&apos; in the log window&apos;s menu (Ctrl+T) shows every request</translation>
    </message>
    <message>
        <source>i odpowiedź: bajty, czasy, wynik oraz liczniki; tabelę można zapisać do CSV.</source>
        <translation>and reply: bytes, times, outcome and counters; the table can be saved as CSV.</translation>
    </message>
    <message>
        <source>VII. KONFIGURACJA PRZETWORNIKA</source>
        <translation>VII. THE TRANSDUCER&apos;S CONFIGURATION</translation>
    </message>
    <message>
        <source>W menu okna rejestrów &apos;Zapisz konfigurację…&apos; zapisuje do pliku rejestry do zapisu,</source>
        <translation>In the register window&apos;s menu, &apos;Save configuration…&apos; saves the writable registers to a file,</translation>
    </message>
    <message>
        <source>&apos;Porównaj z plikiem…&apos; zaznacza różnice (kolumna &apos;W pliku&apos;), a &apos;Przywróć z pliku…&apos;</source>
        <translation>&apos;Compare with file…&apos; marks the differences (column &apos;In file&apos;), and &apos;Restore from file…&apos;</translation>
    </message>
    <message>
        <source>zapisuje tylko różniące się rejestry; adres, szybkość i parzystość na końcu,</source>
        <translation>writes only the registers that differ; address, baud rate and parity last,</translation>
    </message>
    <message>
        <source>po czym należy wcisnąć &apos;Reset&apos; i zmienić ustawienia połączenia.</source>
        <translation>after which press &apos;Reset&apos; and change the connection settings.</translation>
    </message>
    <message>
        <source>Okno logów zachowuje szerokość najdłuższego wiersza; wykres zajmuje resztę</source>
        <translation>The log window keeps the width of its longest line; the trend takes the rest</translation>
    </message>
    <message>
        <source>albo staje pod oknem logów. &apos;ukryj&apos; chowa wykres do końca pracy programu;</source>
        <translation>or stands below the log. &apos;hide&apos; hides the trend until the program ends;</translation>
    </message>
    <message>
        <source>przywraca go &apos;Wykres nagrania&apos; w menu okna logów.</source>
        <translation>&apos;Recording trend&apos; in the log window&apos;s menu brings it back.</translation>
    </message>
    <message>
        <source>&apos;Język (Language)&apos; w menu okna logów wybiera język od następnego uruchomienia;</source>
        <translation>&apos;Language&apos; in the log window&apos;s menu chooses the language from the next start;</translation>
    </message>
    <message>
        <source>&apos;velnorex --lang en&apos; uruchamia program po angielsku, &apos;--lang pl&apos; po polsku.</source>
        <translation>&apos;velnorex --lang en&apos; starts the program in English, &apos;--lang pl&apos; in Polish.</translation>
    </message>
    <message>
        <source>listy; lista ma własny interwał, który może mieć dziesiąte części sekundy (np. 0,5).</source>
        <translation>of the list; the list has an interval of its own, which may have tenths of a second (e.g. 0,5).</translation>
    </message>
    <message>
        <source>Sąsiednie rejestry jednego przetwornika lista czyta jednym zapytaniem.</source>
        <translation>Neighbouring registers of one transducer are read by the list with one request.</translation>
    </message>
    <message>
        <source>Okno logów zachowuje ostatnie 10000 wierszy nagrania listy; o starszych,</source>
        <translation>The log window keeps the last 10000 lines of a list recording; a line under the</translation>
    </message>
    <message>
        <source>usuniętych z okna, mówi wiersz pod nagłówkiem - wszystkie są w pliku CSV.</source>
        <translation>header tells of older ones removed from the window - all of them are in the CSV file.</translation>
    </message>
    <message>
        <source>&apos;zapisz png&apos; zapisuje obraz wykresu. Starsze odczyty długiego nagrania</source>
        <translation>&apos;save png&apos; saves a picture of the trend. The older readings of a long recording</translation>
    </message>
    <message>
        <source>wykres pokazuje jako minimum i maksimum; mówi o tym wiersz pod wykresem.</source>
        <translation>are shown as their minimum and maximum; a line under the trend says so.</translation>
    </message>
    <message>
        <source>VIII. TABLICE, TYPY, KOLEJNOŚĆ SŁÓW I JEDNOSTKI</source>
        <translation>VIII. TABLES, TYPES, WORD ORDER AND UNITS</translation>
    </message>
    <message>
        <source>Rejestr może należeć do rejestrów zapisu (funkcje 3, 6, 16), rejestrów wejściowych</source>
        <translation>A register may belong to the holding registers (functions 3, 6, 16), the input registers</translation>
    </message>
    <message>
        <source>(funkcja 4, tylko odczyt), cewek (funkcje 1, 5, 15) lub wejść dwustanowych (funkcja 2).</source>
        <translation>(function 4, read only), the coils (functions 1, 5, 15) or the discrete inputs (function 2).</translation>
    </message>
    <message>
        <source>Typy: U16, I16, U32, I32, F32, U64, I64, F64, BOOL (cewka lub wejście) oraz dawne</source>
        <translation>Types: U16, I16, U32, I32, F32, U64, I64, F64, BOOL (a coil or an input) and the old</translation>
    </message>
    <message>
        <source>WORD, INT, REAL, PREC, TEXT, HEX. Wartości 32- i 64-bitowe mają kolejność słów</source>
        <translation>WORD, INT, REAL, PREC, TEXT, HEX. 32- and 64-bit values have the word order</translation>
    </message>
    <message>
        <source>ABCD (domyślnie), CDAB, BADC lub DCBA; REAL i PREC jak dawniej: młodsze słowo pierwsze.</source>
        <translation>ABCD (the default), CDAB, BADC or DCBA; REAL and PREC as before: low word first.</translation>
    </message>
    <message>
        <source>Definicja może podać skalę, przesunięcie, jednostkę i liczbę miejsc po przecinku:</source>
        <translation>A definition may give a scale, an offset, a unit and a number of decimals:</translation>
    </message>
    <message>
        <source>drzewo pokazuje surowa × skala + przesunięcie z jednostką (np. -12,5 °C),</source>
        <translation>the tree shows raw × scale + offset with the unit (e.g. -12,5 °C),</translation>
    </message>
    <message>
        <source>a zapis przelicza wpisaną wartość z powrotem (jednostkę można pominąć).</source>
        <translation>and a write converts the value typed back (the unit may be left out).</translation>
    </message>
    <message>
        <source>&apos;Znajdź kolejność słów…&apos; w menu rejestru pokazuje ostatnio odczytane słowa</source>
        <translation>&apos;Find the word order…&apos; in the register&apos;s menu shows the words last read</translation>
    </message>
    <message>
        <source>w każdej kolejności; &apos;Użyj&apos; przyjmuje wybraną, a klucz do definicji trafia do schowka.</source>
        <translation>in every order; &apos;Use&apos; takes the chosen one, and the key for the definition goes to the clipboard.</translation>
    </message>
    <message>
        <source>IX. JĘZYK</source>
        <translation>IX. LANGUAGE</translation>
    </message>
    <message>
        <source>X. POŁĄCZENIE PRZEZ SIEĆ</source>
        <translation>X. CONNECTING OVER A NETWORK</translation>
    </message>
    <message>
        <source>W polu &apos;Port szer:&apos; można wpisać adres zamiast nazwy portu:</source>
        <translation>In &apos;Port szer:&apos; an address may be typed instead of a port name:</translation>
    </message>
    <message>
        <source>tcp://host:port - przetwornik lub bramka Modbus TCP (identyfikator = adres),</source>
        <translation>tcp://host:port - a Modbus TCP transducer or gateway (unit id = address),</translation>
    </message>
    <message>
        <source>rtu+tcp://host:port - bramka przekazująca ramki RTU; port domyślnie 502.</source>
        <translation>rtu+tcp://host:port - a gateway passing RTU frames on; port 502 by default.</translation>
    </message>
    <message>
        <source>Szybkość i parzystość nie dotyczą połączenia TCP (pola są wtedy wyłączone).</source>
        <translation>Baud rate and parity do not apply to a TCP link (their boxes are disabled then).</translation>
    </message>
    <message>
        <source>Wpisane adresy zostają na liście portów do końca pracy programu.</source>
        <translation>Typed addresses stay in the port list until the program ends.</translation>
    </message>
</context>
<context>
    <name>LineMonitor</name>
    <message>
        <source>niedozwolona funkcja</source>
        <translation>illegal function</translation>
    </message>
    <message>
        <source>niedozwolony adres danych</source>
        <translation>illegal data address</translation>
    </message>
    <message>
        <source>niedozwolona wartość danych</source>
        <translation>illegal data value</translation>
    </message>
    <message>
        <source>awaria urządzenia</source>
        <translation>device failure</translation>
    </message>
    <message>
        <source>potwierdzenie, praca trwa</source>
        <translation>acknowledge, work in progress</translation>
    </message>
    <message>
        <source>urządzenie zajęte</source>
        <translation>device busy</translation>
    </message>
    <message>
        <source>potwierdzenie negatywne</source>
        <translation>negative acknowledge</translation>
    </message>
    <message>
        <source>błąd parzystości pamięci</source>
        <translation>memory parity error</translation>
    </message>
    <message>
        <source>ścieżka bramy niedostępna</source>
        <translation>gateway path unavailable</translation>
    </message>
    <message>
        <source>urządzenie za bramą nie odpowiada</source>
        <translation>gateway target device failed to respond</translation>
    </message>
    <message>
        <source>nieznany wyjątek</source>
        <translation>unknown exception</translation>
    </message>
    <message>
        <source>poprawna odpowiedź</source>
        <translation>good reply</translation>
    </message>
    <message>
        <source>wyjątek %1: %2</source>
        <translation>exception %1: %2</translation>
    </message>
    <message>
        <source>brak odpowiedzi</source>
        <translation>no reply</translation>
    </message>
    <message>
        <source>błąd CRC</source>
        <translation>CRC error</translation>
    </message>
    <message>
        <source>, późna</source>
        <translation>, late</translation>
    </message>
    <message>
        <source>, echo usunięte</source>
        <translation>, echo removed</translation>
    </message>
    <message>
        <source>, przedtem odrzucono spóźnioną odpowiedź (%1 B)</source>
        <translation>, a late reply dropped before it (%1 B)</translation>
    </message>
    <message>
        <source>
czas odpowiedzi [ms] min / śr / maks: </source>
        <translation>
reply time [ms] min / mean / max: </translation>
    </message>
    <message>
        <source>Ruch na linii</source>
        <translation>Line traffic</translation>
    </message>
    <message>
        <source>Wstrzymaj</source>
        <translation>Pause</translation>
    </message>
    <message>
        <source>Wyczyść</source>
        <translation>Clear</translation>
    </message>
    <message>
        <source>Kopiuj</source>
        <translation>Copy</translation>
    </message>
    <message>
        <source>Zapisz CSV</source>
        <translation>Save CSV</translation>
    </message>
    <message>
        <source>Zapisz ruch na linii</source>
        <translation>Save line traffic</translation>
    </message>
    <message>
        <source>Wznów</source>
        <translation>Resume</translation>
    </message>
    <message>
        <source>Czas</source>
        <translation>Time</translation>
    </message>
    <message>
        <source>Adres</source>
        <translation>Address</translation>
    </message>
    <message>
        <source>Funkcja</source>
        <translation>Function</translation>
    </message>
    <message>
        <source>Rejestr</source>
        <translation>Register</translation>
    </message>
    <message>
        <source>Ilość</source>
        <translation>Count</translation>
    </message>
    <message>
        <source>Zapytanie</source>
        <translation>Request</translation>
    </message>
    <message>
        <source>Odpowiedź</source>
        <translation>Reply</translation>
    </message>
    <message>
        <source>Odp. [ms]</source>
        <translation>Reply [ms]</translation>
    </message>
    <message>
        <source>Koniec [ms]</source>
        <translation>End [ms]</translation>
    </message>
    <message>
        <source>Wynik</source>
        <translation>Outcome</translation>
    </message>
    <message>
        <source>zapytania: %1   odpowiedzi: %2   wyjątki: %3   brak odpowiedzi: %4   błędy CRC: %5   późne: %6   echo usunięte: %7   odrzucone spóźnione: %8</source>
        <translation>requests: %1   replies: %2   exceptions: %3   no reply: %4   CRC errors: %5   late: %6   echoes removed: %7   late dropped: %8</translation>
    </message>
</context>
<context>
    <name>LogLines</name>
    <message>
        <source>Slave:</source>
        <translation>Slave:</translation>
    </message>
    <message>
        <source>pominięte odczyty: %1</source>
        <translation>skipped readings: %1</translation>
    </message>
    <message>
        <source>Data:</source>
        <translation>Date:</translation>
    </message>
    <message>
        <source>Urządzenie:</source>
        <translation>Device:</translation>
    </message>
    <message>
        <source>Rejestr:</source>
        <translation>Register:</translation>
    </message>
</context>
<context>
    <name>Messages</name>
    <message>
        <source>brak połączenia !</source>
        <translation>no connection !</translation>
    </message>
    <message>
        <source>trwa rejestracja</source>
        <translation>recording in progress</translation>
    </message>
    <message>
        <source>trwa odczyt lub zapis rejestrów</source>
        <translation>registers are being read or written</translation>
    </message>
    <message>
        <source>lista rejestrów jest pusta</source>
        <translation>the register list is empty</translation>
    </message>
    <message>
        <source>nieprawidłowy interwał</source>
        <translation>invalid interval</translation>
    </message>
    <message>
        <source>interwał krótszy niż odczyt listy (najmniej %1 s)</source>
        <translation>interval shorter than a read of the list (at least %1 s)</translation>
    </message>
    <message>
        <source>nie wybrano rejestru</source>
        <translation>no register selected</translation>
    </message>
    <message>
        <source>nie można otworzyć folderu nagrań: %1</source>
        <translation>cannot open the recordings folder: %1</translation>
    </message>
    <message>
        <source>rejestr tylko do odczytu</source>
        <translation>read-only register</translation>
    </message>
    <message>
        <source>trwa transmisja</source>
        <translation>transmission in progress</translation>
    </message>
    <message>
        <source>usunięto z okna %1 starszych wierszy; wszystkie odczyty są w pliku CSV</source>
        <translation>%1 older lines removed from the window; every reading is in the CSV file</translation>
    </message>
    <message>
        <source>%1; rejestracja trwa bez pliku</source>
        <translation>%1; recording goes on without a file</translation>
    </message>
</context>
<context>
    <name>RegisterTree</name>
    <message>
        <source>Rejestr</source>
        <translation>Register</translation>
    </message>
    <message>
        <source>Adres</source>
        <translation>Address</translation>
    </message>
    <message>
        <source>Wartość</source>
        <translation>Value</translation>
    </message>
    <message>
        <source>W pliku</source>
        <translation>In file</translation>
    </message>
    <message>
        <source>Opis</source>
        <translation>Description</translation>
    </message>
</context>
<context>
    <name>SearchDialog</name>
    <message>
        <source>ok. %1 min %2 s</source>
        <translation>about %1 min %2 s</translation>
    </message>
    <message>
        <source>wartość %1</source>
        <translation>value %1</translation>
    </message>
    <message>
        <source>wyjątek %1</source>
        <translation>exception %1</translation>
    </message>
    <message>
        <source>Wyszukiwanie przetworników</source>
        <translation>Transducer search</translation>
    </message>
    <message>
        <source>Port szer:</source>
        <translation>Serial port:</translation>
    </message>
    <message>
        <source>Szybkość</source>
        <translation>Baud rate</translation>
    </message>
    <message>
        <source>Parzystość</source>
        <translation>Parity</translation>
    </message>
    <message>
        <source>Adresy od:</source>
        <translation>Addresses from:</translation>
    </message>
    <message>
        <source>do:</source>
        <translation>to:</translation>
    </message>
    <message>
        <source>Zapytanie:</source>
        <translation>Request:</translation>
    </message>
    <message>
        <source>odczyt rejestru</source>
        <translation>register read</translation>
    </message>
    <message>
        <source>echo (funkcja 8)</source>
        <translation>echo (function 8)</translation>
    </message>
    <message>
        <source>Adres odczytywanego rejestru</source>
        <translation>Address of the register read</translation>
    </message>
    <message>
        <source>Czas na odpowiedź:</source>
        <translation>Reply time-out:</translation>
    </message>
    <message>
        <source>Adres</source>
        <translation>Address</translation>
    </message>
    <message>
        <source>Odpowiedź</source>
        <translation>Reply</translation>
    </message>
    <message>
        <source>Czas [ms]</source>
        <translation>Time [ms]</translation>
    </message>
    <message>
        <source>Użyj</source>
        <translation>Use</translation>
    </message>
    <message>
        <source>Połącz z wybranym przetwornikiem</source>
        <translation>Connect to the chosen transducer</translation>
    </message>
    <message>
        <source>wybierz port szeregowy</source>
        <translation>choose a serial port</translation>
    </message>
    <message>
        <source>wybierz szybkość i parzystość</source>
        <translation>choose a baud rate and a parity</translation>
    </message>
    <message>
        <source>zły zakres adresów</source>
        <translation>wrong address range</translation>
    </message>
    <message>
        <source>linia jest zajęta</source>
        <translation>the line is busy</translation>
    </message>
    <message>
        <source>wykonano: %1, pozostało: %2</source>
        <translation>done: %1, left: %2</translation>
    </message>
    <message>
        <source>nie można otworzyć portu</source>
        <translation>cannot open the port</translation>
    </message>
    <message>
        <source>przerwano, znaleziono: %1</source>
        <translation>stopped, found: %1</translation>
    </message>
    <message>
        <source>nie znaleziono przetworników</source>
        <translation>no transducers found</translation>
    </message>
    <message>
        <source>znaleziono: %1</source>
        <translation>found: %1</translation>
    </message>
    <message>
        <source> (zniekształcone odpowiedzi: %1)</source>
        <translation> (garbled replies: %1)</translation>
    </message>
    <message>
        <source>Przerwij</source>
        <translation>Stop</translation>
    </message>
    <message>
        <source>Zamknij</source>
        <translation>Close</translation>
    </message>
    <message>
        <source>odczyt rejestru wejściowego</source>
        <translation>read of an input register</translation>
    </message>
    <message>
        <source>%1 (dowolny identyfikator)</source>
        <translation>%1 (any unit id)</translation>
    </message>
</context>
<context>
    <name>TrendView</name>
    <message>
        <source>śledź</source>
        <translation>follow</translation>
    </message>
    <message>
        <source>najnowszy odczyt zawsze widoczny</source>
        <translation>the newest reading always in view</translation>
    </message>
    <message>
        <source>zapisz png</source>
        <translation>save png</translation>
    </message>
    <message>
        <source>ukryj</source>
        <translation>hide</translation>
    </message>
    <message>
        <source>Wykres: kółko myszy zmienia skalę czasu, klik na legendzie ukrywa krzywą</source>
        <translation>Trend: the mouse wheel changes the time scale, a click on the legend hides a curve</translation>
    </message>
    <message>
        <source>zapisz wykres</source>
        <translation>save trend</translation>
    </message>
    <message>
        <source>nie można zapisać wykresu: %1</source>
        <translation>cannot save the trend: %1</translation>
    </message>
    <message>
        <source>%1: %2 (min %3, maks %4, śr %5)</source>
        <translation>%1: %2 (min %3, max %4, mean %5)</translation>
    </message>
</context>
<context>
    <name>WordOrderDialog</name>
    <message>
        <source>Kolejność słów</source>
        <translation>Word order</translation>
    </message>
    <message>
        <source>ostatnio odczytane słowa w każdej kolejności:</source>
        <translation>the words last read in every order:</translation>
    </message>
    <message>
        <source>Użyj</source>
        <translation>Use</translation>
    </message>
    <message>
        <source>Zamknij</source>
        <translation>Close</translation>
    </message>
    <message>
        <source>rejestr bez kolejności słów</source>
        <translation>register without a word order</translation>
    </message>
    <message>
        <source>najpierw odczytaj rejestr</source>
        <translation>read the register first</translation>
    </message>
</context>
</TS>
