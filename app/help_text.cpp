// The help text that F1 shows in place of the log window: the program's 70 lines, blanks at either end
// included, then the sections of what came later.
#include "app/help_text.h"

#include "velnorex_version.h"

namespace velnorex {

namespace {

constexpr const char16_t* kLines[kHelpLineCount] = {
    u"velnorex v" VELNOREX_VERSION,  // from project(VERSION)
    u"",
    u"I. KOMUNIKACJA",
    u"    W celu połączenia się z przetwornikiem należy:",
    u"    1° wybrać port szeregowy",
    u"    2° ustawić parametry transmisji:",
    u"        szybkość transmisji - domyślnie 19200bps",
    u"        kontrola parzystość - domyślnie 'even'",
    u"    3°  wcisnąć klawisz 'Połącz'",
    u"",
    u"Gdy nie wystąpiły żadne błędy podczas inicjalizacji połączenia ",
    u"zapali się na zielono wskaźnik przy klawiszu 'Połącz' wskazując na",
    u"poprawne skonfigurowanie i otwarcie wybranego portu szeregowego.",
    u"",
    u"Wskaźnik może zapalić się na czerwono w przypadku wystąpienia błędów ",
    u"lub może być wygaszony (szary) gdy połączenie zostało przerwane ",
    u"(np. przyciskiem 'Rozłącz').",
    u"",
    u"Gdy uzyskaliśmy poprawne połączenie (wskaźnik połączenia świeci na ",
    u"zielono) - należy wybrać typ przetwornika w polu 'Typ' oraz ustalić",
    u"jego adres na magistrali (adresy z zakresu 1÷247, domyślnie 1)",
    u"Wybranie typu przetwornika wyświetla drzewo rejestrów przetwornika.",
    u"",
    u"",
    u"II. ZAPIS I ODCZYT WARTOŚCI REJESTRÓW MODBUS",
    u"    By odczytać wartość wybranego rejestru - należy dwukrotnie ",
    u"kliknąć nazwę rejestru, który ma być odczytany.",
    u"Odczytane wartości wyświetlane są w kolumnie 'Wartość'.",
    u"Możliwy jest odczyt grupy rejestrów - należy dwukrotnie kliknąć nazwę grupy.",
    u"",
    u"Zapis nowej wartości do rejestru możliwy jest tylko dla niektórych ",
    u"rejestrów. Rejestry te mają adresy wyświetlane w kolorze niebieskim.",
    u"Pozostałe rejestry są tylko do odczytu (kolumna adresów w kolorze czarnym).",
    u"",
    u"By wpisać nową wartość do rejestru nalezy dukrotnie kliknąć pole ",
    u"w kolumnie 'Wartosc' dla wybranego rejestru. ",
    u"Po wpisaniu nowej wartości i zatwierdzeniu klawiszem [Enter].",
    u"Nowa wartość zostaje wysłana do przetwornika - co zostaje ",
    u"zasygnalizowane przez wyświetlenie nowej wartości w kolorze czerwonym ",
    u"(kolumna 'Wartosc').",
    u"",
    u"W części rejestrów - lista dopuszczalnych wartości jest wyświetlona ",
    u"jako zbiór opcji.",
    u"Po kliknięciu wybranej opcji - nowa wartość rejestru zostaje przesłana ",
    u"do przetwornika.",
    u"",
    u"UWAGA: zmiana wartości rejestrów przetwornika takich jak:",
    u"    szybkość transmisji,",
    u"    kontrola parzystości,",
    u"    adres przetwornika",
    u"zostaną użyte przez przetwornik dopiero po zresetowaniu przetwornika ",
    u"za pomocą przycisku 'Reset'.",
    u"Po takiej zmianie należy odpowiednio zmienić ustawienia komunikacji.",
    u"",
    u"",
    u"",
    u"III. REJESTRACJA",
    u"Po wybraniu rejestru (np. 'Temperatura') jego nazwa zostaje wyświetlona jest w polu 'Rejestr'.",
    u"Czas pomiędzy kolejnymi zapytaniami wysyłanymi do przetwornika (w sekundach) określa pole 'Interwał'.",
    u"Rejestracja uruchomiona zostaje klawiszem 'Rejestracja'.  ",
    u"",
    u"Standardowo wpis zawiera kolumny: ",
    u"    czas odczytu rejestracji (s), ",
    u"    zdekodowaną wartość rejestru",
    u"",
    u"Na czas rejestracji okno rejestrów oraz okno logów zostają zablokowane.",
    u"Po zakończeniu rejestracji zawartość okna logów można zapisać na dysku",
    u"( klik prawym klawiszem myszy na obszarze okna logów i wybranie polecenia ",
    u"'zapisz do pliku')",
    u"",
    u"IV. LISTA REJESTRÓW, NAGRANIA I WYKRES",
    u"Rejestry dodane poleceniem 'Dodaj do listy' tworzą listę rejestrów;",
    u"pokazuje ją i ukrywa polecenie 'Lista rejestrów' (Ctrl+L).",
    u"Na liście: 'Usuń z listy' (Delete), 'Przesuń w górę'/'w dół' (Ctrl+strzałka).",
    u"Po zaznaczeniu 'cała lista' klawisz 'Rejestarcja' zapisuje wszystkie rejestry",
    u"listy; lista ma własny interwał, który może mieć dziesiąte części sekundy (np. 0,5).",
    u"Sąsiednie rejestry jednego przetwornika lista czyta jednym zapytaniem.",
    u"Okno logów zachowuje ostatnie 10000 wierszy nagrania listy; o starszych,",
    u"usuniętych z okna, mówi wiersz pod nagłówkiem - wszystkie są w pliku CSV.",
    u"Każde nagranie trafia też do pliku CSV w folderze nagrań",
    u"('Otwórz folder nagrań' w menu okna logów) oraz na wykres obok okna logów:",
    u"kółko myszy zmienia skalę czasu, 'śledź' pokazuje najnowszy odczyt,",
    u"'zapisz png' zapisuje obraz wykresu. Starsze odczyty długiego nagrania",
    u"wykres pokazuje jako minimum i maksimum; mówi o tym wiersz pod wykresem.",
    u"",
    u"V. WYSZUKIWANIE PRZETWORNIKÓW",
    u"Klawisz 'Szukaj…' przeszukuje linię: dla wybranych szybkości i parzystości",
    u"pyta każdy adres z zakresu (tylko odczyt, nigdy zapis) i pokazuje, kto odpowiedział.",
    u"'Użyj' ustawia port, szybkość, parzystość i adres wybranego przetwornika i łączy.",
    u"",
    u"VI. RUCH NA LINII",
    u"Polecenie 'Ruch na linii' w menu okna logów (Ctrl+T) pokazuje każde zapytanie",
    u"i odpowiedź: bajty, czasy, wynik oraz liczniki; tabelę można zapisać do CSV.",
    u"",
    u"VII. KONFIGURACJA PRZETWORNIKA",
    u"W menu okna rejestrów 'Zapisz konfigurację…' zapisuje do pliku rejestry do zapisu,",
    u"'Porównaj z plikiem…' zaznacza różnice (kolumna 'W pliku'), a 'Przywróć z pliku…'",
    u"zapisuje tylko różniące się rejestry; adres, szybkość i parzystość na końcu,",
    u"po czym należy wcisnąć 'Reset' i zmienić ustawienia połączenia.",
    u"",
};

}  // namespace

QStringList HelpTextLines() {
  QStringList lines;
  lines.reserve(kHelpLineCount);
  for (const char16_t* line : kLines) lines.append(QString::fromUtf16(line));
  return lines;
}

}  // namespace velnorex
