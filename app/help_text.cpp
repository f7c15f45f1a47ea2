// The help text that F1 shows in place of the log window: the program's 70 lines, blanks at either end
// included, then the sections of what came later.
#include "app/help_text.h"

#include <QCoreApplication>

#include "velnorex_version.h"

namespace velnorex {

namespace {

// The lines as the program's sources write them (UTF-8); each translated when the text is made.
constexpr const char* kLines[kHelpLineCount] = {
    "velnorex v" VELNOREX_VERSION,  // from project(VERSION)
    "",
    QT_TRANSLATE_NOOP("Help", "I. KOMUNIKACJA"),
    QT_TRANSLATE_NOOP("Help", "    W celu połączenia się z przetwornikiem należy:"),
    QT_TRANSLATE_NOOP("Help", "    1° wybrać port szeregowy"),
    QT_TRANSLATE_NOOP("Help", "    2° ustawić parametry transmisji:"),
    QT_TRANSLATE_NOOP("Help", "        szybkość transmisji - domyślnie 19200bps"),
    QT_TRANSLATE_NOOP("Help", "        kontrola parzystość - domyślnie 'even'"),
    QT_TRANSLATE_NOOP("Help", "    3°  wcisnąć klawisz 'Połącz'"),
    "",
    QT_TRANSLATE_NOOP("Help", "Gdy nie wystąpiły żadne błędy podczas inicjalizacji połączenia "),
    QT_TRANSLATE_NOOP("Help", "zapali się na zielono wskaźnik przy klawiszu 'Połącz' wskazując na"),
    QT_TRANSLATE_NOOP("Help", "poprawne skonfigurowanie i otwarcie wybranego portu szeregowego."),
    "",
    QT_TRANSLATE_NOOP("Help", "Wskaźnik może zapalić się na czerwono w przypadku wystąpienia błędów "),
    QT_TRANSLATE_NOOP("Help", "lub może być wygaszony (szary) gdy połączenie zostało przerwane "),
    QT_TRANSLATE_NOOP("Help", "(np. przyciskiem 'Rozłącz')."),
    "",
    QT_TRANSLATE_NOOP("Help", "Gdy uzyskaliśmy poprawne połączenie (wskaźnik połączenia świeci na "),
    QT_TRANSLATE_NOOP("Help", "zielono) - należy wybrać typ przetwornika w polu 'Typ' oraz ustalić"),
    QT_TRANSLATE_NOOP("Help", "jego adres na magistrali (adresy z zakresu 1÷247, domyślnie 1)"),
    QT_TRANSLATE_NOOP("Help", "Wybranie typu przetwornika wyświetla drzewo rejestrów przetwornika."),
    "",
    "",
    QT_TRANSLATE_NOOP("Help", "II. ZAPIS I ODCZYT WARTOŚCI REJESTRÓW MODBUS"),
    QT_TRANSLATE_NOOP("Help", "    By odczytać wartość wybranego rejestru - należy dwukrotnie "),
    QT_TRANSLATE_NOOP("Help", "kliknąć nazwę rejestru, który ma być odczytany."),
    QT_TRANSLATE_NOOP("Help", "Odczytane wartości wyświetlane są w kolumnie 'Wartość'."),
    QT_TRANSLATE_NOOP("Help", "Możliwy jest odczyt grupy rejestrów - należy dwukrotnie kliknąć nazwę grupy."),
    "",
    QT_TRANSLATE_NOOP("Help", "Zapis nowej wartości do rejestru możliwy jest tylko dla niektórych "),
    QT_TRANSLATE_NOOP("Help", "rejestrów. Rejestry te mają adresy wyświetlane w kolorze niebieskim."),
    QT_TRANSLATE_NOOP("Help", "Pozostałe rejestry są tylko do odczytu (kolumna adresów w kolorze czarnym)."),
    "",
    QT_TRANSLATE_NOOP("Help", "By wpisać nową wartość do rejestru nalezy dukrotnie kliknąć pole "),
    QT_TRANSLATE_NOOP("Help", "w kolumnie 'Wartosc' dla wybranego rejestru. "),
    QT_TRANSLATE_NOOP("Help", "Po wpisaniu nowej wartości i zatwierdzeniu klawiszem [Enter]."),
    QT_TRANSLATE_NOOP("Help", "Nowa wartość zostaje wysłana do przetwornika - co zostaje "),
    QT_TRANSLATE_NOOP("Help", "zasygnalizowane przez wyświetlenie nowej wartości w kolorze czerwonym "),
    QT_TRANSLATE_NOOP("Help", "(kolumna 'Wartosc')."),
    "",
    QT_TRANSLATE_NOOP("Help", "W części rejestrów - lista dopuszczalnych wartości jest wyświetlona "),
    QT_TRANSLATE_NOOP("Help", "jako zbiór opcji."),
    QT_TRANSLATE_NOOP("Help", "Po kliknięciu wybranej opcji - nowa wartość rejestru zostaje przesłana "),
    QT_TRANSLATE_NOOP("Help", "do przetwornika."),
    "",
    QT_TRANSLATE_NOOP("Help", "UWAGA: zmiana wartości rejestrów przetwornika takich jak:"),
    QT_TRANSLATE_NOOP("Help", "    szybkość transmisji,"),
    QT_TRANSLATE_NOOP("Help", "    kontrola parzystości,"),
    QT_TRANSLATE_NOOP("Help", "    adres przetwornika"),
    QT_TRANSLATE_NOOP("Help", "zostaną użyte przez przetwornik dopiero po zresetowaniu przetwornika "),
    QT_TRANSLATE_NOOP("Help", "za pomocą przycisku 'Reset'."),
    QT_TRANSLATE_NOOP("Help", "Po takiej zmianie należy odpowiednio zmienić ustawienia komunikacji."),
    "",
    "",
    "",
    QT_TRANSLATE_NOOP("Help", "III. REJESTRACJA"),
    QT_TRANSLATE_NOOP(
        "Help",
        "Po wybraniu rejestru (np. 'Temperatura') jego nazwa zostaje wyświetlona jest w polu 'Rejestr'."),
    QT_TRANSLATE_NOOP("Help",
                      "Czas pomiędzy kolejnymi zapytaniami wysyłanymi do przetwornika (w sekundach) określa "
                      "pole 'Interwał'."),
    QT_TRANSLATE_NOOP("Help", "Rejestracja uruchomiona zostaje klawiszem 'Rejestracja'.  "),
    "",
    QT_TRANSLATE_NOOP("Help", "Standardowo wpis zawiera kolumny: "),
    QT_TRANSLATE_NOOP("Help", "    czas odczytu rejestracji (s), "),
    QT_TRANSLATE_NOOP("Help", "    zdekodowaną wartość rejestru"),
    "",
    QT_TRANSLATE_NOOP("Help", "Na czas rejestracji okno rejestrów oraz okno logów zostają zablokowane."),
    QT_TRANSLATE_NOOP("Help", "Po zakończeniu rejestracji zawartość okna logów można zapisać na dysku"),
    QT_TRANSLATE_NOOP("Help", "( klik prawym klawiszem myszy na obszarze okna logów i wybranie polecenia "),
    QT_TRANSLATE_NOOP("Help", "'zapisz do pliku')"),
    "",
    QT_TRANSLATE_NOOP("Help", "IV. LISTA REJESTRÓW, NAGRANIA I WYKRES"),
    QT_TRANSLATE_NOOP("Help", "Rejestry dodane poleceniem 'Dodaj do listy' tworzą listę rejestrów;"),
    QT_TRANSLATE_NOOP("Help", "pokazuje ją i ukrywa polecenie 'Lista rejestrów' (Ctrl+L)."),
    QT_TRANSLATE_NOOP("Help",
                      "Na liście: 'Usuń z listy' (Delete), 'Przesuń w górę'/'w dół' (Ctrl+strzałka)."),
    QT_TRANSLATE_NOOP("Help",
                      "Po zaznaczeniu 'cała lista' klawisz 'Rejestarcja' zapisuje wszystkie rejestry"),
    QT_TRANSLATE_NOOP("Help",
                      "listy; lista ma własny interwał, który może mieć dziesiąte części sekundy (np. 0,5)."),
    QT_TRANSLATE_NOOP("Help", "Okno logów zachowuje ostatnie 10000 wierszy nagrania listy; o starszych,"),
    QT_TRANSLATE_NOOP("Help", "usuniętych z okna, mówi wiersz pod nagłówkiem - wszystkie są w pliku CSV."),
    QT_TRANSLATE_NOOP("Help", "Każde nagranie trafia też do pliku CSV w folderze nagrań"),
    QT_TRANSLATE_NOOP("Help", "('Otwórz folder nagrań' w menu okna logów) oraz na wykres obok okna logów:"),
    QT_TRANSLATE_NOOP("Help", "kółko myszy zmienia skalę czasu, 'śledź' pokazuje najnowszy odczyt,"),
    QT_TRANSLATE_NOOP("Help", "'zapisz png' zapisuje obraz wykresu. Starsze odczyty długiego nagrania"),
    QT_TRANSLATE_NOOP("Help", "wykres pokazuje jako minimum i maksimum; mówi o tym wiersz pod wykresem."),
    QT_TRANSLATE_NOOP("Help", "Okno logów zachowuje szerokość najdłuższego wiersza; wykres zajmuje resztę"),
    QT_TRANSLATE_NOOP("Help", "albo staje pod oknem logów. 'ukryj' chowa wykres do końca pracy programu;"),
    QT_TRANSLATE_NOOP("Help", "przywraca go 'Wykres nagrania' w menu okna logów."),
    "",
    QT_TRANSLATE_NOOP("Help", "V. WYSZUKIWANIE PRZETWORNIKÓW"),
    QT_TRANSLATE_NOOP("Help", "Klawisz 'Szukaj…' przeszukuje linię: dla wybranych szybkości i parzystości"),
    QT_TRANSLATE_NOOP("Help",
                      "pyta każdy adres z zakresu (tylko odczyt, nigdy zapis) i pokazuje, kto odpowiedział."),
    QT_TRANSLATE_NOOP("Help",
                      "'Użyj' ustawia port, szybkość, parzystość i adres wybranego przetwornika i łączy."),
    "",
    QT_TRANSLATE_NOOP("Help", "VI. RUCH NA LINII"),
    QT_TRANSLATE_NOOP("Help",
                      "Polecenie 'Ruch na linii' w menu okna logów (Ctrl+T) pokazuje każde zapytanie"),
    QT_TRANSLATE_NOOP("Help", "i odpowiedź: bajty, czasy, wynik oraz liczniki; tabelę można zapisać do CSV."),
    "",
    QT_TRANSLATE_NOOP("Help", "VII. KONFIGURACJA PRZETWORNIKA"),
    QT_TRANSLATE_NOOP("Help",
                      "W menu okna rejestrów 'Zapisz konfigurację…' zapisuje do pliku rejestry do zapisu,"),
    QT_TRANSLATE_NOOP("Help",
                      "'Porównaj z plikiem…' zaznacza różnice (kolumna 'W pliku'), a 'Przywróć z pliku…'"),
    QT_TRANSLATE_NOOP("Help", "zapisuje tylko różniące się rejestry; adres, szybkość i parzystość na końcu,"),
    QT_TRANSLATE_NOOP("Help", "po czym należy wcisnąć 'Reset' i zmienić ustawienia połączenia."),
    "",
    QT_TRANSLATE_NOOP("Help", "VIII. TABLICE, TYPY, KOLEJNOŚĆ SŁÓW I JEDNOSTKI"),
    QT_TRANSLATE_NOOP("Help",
                      "Rejestr może należeć do rejestrów zapisu (funkcje 3, 6, 16), rejestrów wejściowych"),
    QT_TRANSLATE_NOOP(
        "Help", "(funkcja 4, tylko odczyt), cewek (funkcje 1, 5, 15) lub wejść dwustanowych (funkcja 2)."),
    QT_TRANSLATE_NOOP("Help",
                      "Typy: U16, I16, U32, I32, F32, U64, I64, F64, BOOL (cewka lub wejście) oraz dawne"),
    QT_TRANSLATE_NOOP("Help",
                      "WORD, INT, REAL, PREC, TEXT, HEX. Wartości 32- i 64-bitowe mają kolejność słów"),
    QT_TRANSLATE_NOOP(
        "Help", "ABCD (domyślnie), CDAB, BADC lub DCBA; REAL i PREC jak dawniej: młodsze słowo pierwsze."),
    QT_TRANSLATE_NOOP("Help",
                      "Definicja może podać skalę, przesunięcie, jednostkę i liczbę miejsc po przecinku:"),
    QT_TRANSLATE_NOOP("Help", "drzewo pokazuje surowa × skala + przesunięcie z jednostką (np. -12,5 °C),"),
    QT_TRANSLATE_NOOP("Help", "a zapis przelicza wpisaną wartość z powrotem (jednostkę można pominąć)."),
    QT_TRANSLATE_NOOP("Help", "'Znajdź kolejność słów…' w menu rejestru pokazuje ostatnio odczytane słowa"),
    QT_TRANSLATE_NOOP(
        "Help", "w każdej kolejności; 'Użyj' przyjmuje wybraną, a klucz do definicji trafia do schowka."),
    "",
    QT_TRANSLATE_NOOP("Help", "IX. JĘZYK"),
    QT_TRANSLATE_NOOP("Help",
                      "'Język (Language)' w menu okna logów wybiera język od następnego uruchomienia;"),
    QT_TRANSLATE_NOOP("Help", "'velnorex --lang en' uruchamia program po angielsku, '--lang pl' po polsku."),
    "",
};

}  // namespace

QStringList HelpTextLines() {
  QStringList lines;
  lines.reserve(kHelpLineCount);
  for (const char* line : kLines) lines.append(*line ? QCoreApplication::translate("Help", line) : QString());
  return lines;
}

}  // namespace velnorex
