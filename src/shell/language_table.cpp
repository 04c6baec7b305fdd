#include "shell/language_table.h"

#include <cmath>
#include <cstdio>
#include <unordered_map>

#include "shell/number_text.h"
#include "shell/plain_text.h"
#include "shell/settings_keys.h"
#include "shell/settings_store.h"
#include "shell/window_geometry.h"

namespace lumar {
namespace {

// The defaults are the texts translators work from; keep them byte for byte, trailing
// blanks included.
constexpr LanguageEntry kTable[] = {
    // Main window, image area.
    {"Frame0", "001", "Frame_0", "-> Bilder "},
    {"Frame0", "002", "ckBilder", "Vorschau "},
    {"Frame0", "003", "cmBilder_0", "Bild(er) hinzufügen"},
    {"Frame0", "004", "cmBilder_1", "Verzeichnis hinzufügen"},
    {"Frame0", "005", "cmBilder_2", "Liste löschen"},
    {"Frame0", "006", "cmBilder_3", "Bild(er) entfernen"},
    {"Frame0", "007", "cmBilder_4", "VBCode einfügen"},
    {"Frame0", "008", "cmBilder_5", "Umbruch einfügen"},
    {"Frame0", "009", "lvBilder#1", "Bildname"},
    {"Frame0", "010", "lvBilder#2", "Pfad des Bildes"},
    {"Frame0", "011", "lvBilder#3", "Breite"},
    {"Frame0", "012", "lvBilder#4", "Höhe"},
    // Main window, upload choice.
    {"Frame1", "001", "Frame_1", "-> Upload auf "},
    {"Frame1", "002", "lbPic_0", "Maximale Filegrösse:"},
    {"Frame1", "003", "lbPic_1", "URL des Hosters:"},
    {"Frame1", "004", "cmConfig", "weitere Einstellungen..."},
    {"Frame1", "005", "cmUpload", "Upload starten"},
    // Main window, code panel.
    {"Frame2", "001", "fSplit", "-> Optionen "},
    {"Frame2", "002", "ckCenter", "Posting zentrieren"},
    {"Frame2", "003", "ckSplit", "Posting aufteilen aktivieren/deaktivieren"},
    {"Frame2", "004", "lbPic_2", "Anzahl Bilder pro Teil:"},
    {"Frame2", "005", "lbPic_3", "Postingteilstück:"},
    {"Frame2", "006", "cmCode_0", "Clipboard"},
    {"Frame2", "007", "cmCode_1", "Speichern...."},
    {"Frame2", "008", "cmCode_2", "Schliessen"},
    // Main window, upload panel.
    {"Frame3", "001", "labels_29", "Noch zu übertrage Dateien:"},
    {"Frame3", "002", "labels_30", "Gesamtgrösse der Dateien:"},
    {"Frame3", "003", "labels_31", "Übertragungszeit:"},
    {"Frame3", "004", "labels_32", "Restdauer:"},
    {"Frame3", "005", "cmAbbruch", "Uploads Abbrechen"},
    // Folder browser.
    {"Frame4", "001", "ckSubDir", "inklusive Unterverzeichnisse"},
    {"Frame4", "002", "cmOK_0", "OK"},
    {"Frame4", "003", "cmOK_1", "Abbrechen"},
    {"Frame4", "004", "#title", "Bildverzeichnis suchen..."},
    // Options dialog.
    {"Frame5", "001", "Frame_0", " -> Wartezeit "},
    {"Frame5", "002", "Label1", "Wie lange soll Lumar auf eine Antwort vom Bildhoster warten?"},
    {"Frame5", "003", "Label2", "Sekunden"},
    {"Frame5", "004", "Frame_2", " -> nach Upload... "},
    {"Frame5", "005", "ckForm", "Lumar im Vordergrund öffnen"},
    {"Frame5", "006", "ckSound", "Sound abspielen"},
    {"Frame5", "007", "Label1000", "Sound (wav oder mp3):"},
    {"Frame5", "008", "Frame_3", " -> Lumar Werbetext "},
    {"Frame5", "009", "ckWerbung", "an VBCode anhängen"},
    {"Frame5", "010", "Label3",
     "wäre schön wenn diese Option aktiviert bleiben würde und ihr diesen Werbetext auch in "
     "euren Postings drin lässt. Damit das Tool bekannter wird........:)"},
    // BBCode editor.
    {"Frame6", "001", "frames_13", "  -> Schrift "},
    {"Frame6", "002", "labels_12", "Style"},
    {"Frame6", "003", "labels_13", "Farbe"},
    {"Frame6", "004", "labels_14", "Font"},
    {"Frame6", "005", "cmdFont_3", "setze Schrift"},
    {"Frame6", "006", "frames_14", " -> Einfügen ..."},
    {"Frame6", "007", "cmdPaste_4", "Center"},
    {"Frame6", "008", "cmdPaste_0", "Bild"},
    {"Frame6", "009", "cmdPaste_1", "Link"},
    {"Frame6", "010", "cmdPaste_2", "Linie"},
    {"Frame6", "011", "cmdPaste_3", "Quote"},
    {"Frame6", "012", "cmOK_0", "Speichern"},
    {"Frame6", "013", "cmOK_1", "Laden"},
    {"Frame6", "014", "opAusrichung_0", "davor"},
    {"Frame6", "015", "opAusrichung_1", "danach"},
    {"Frame6", "016", "cmOK_2", "Übernehmen"},
    // Messages; the key number is the UiStrings entry.
    {"STRINGS", "001", "", "Uploadgrösse:"},
    {"STRINGS", "002", "", "Bilder:"},
    {"STRINGS", "003", "", "Upload:"},
    {"STRINGS", "004", "", "Size:"},
    {"STRINGS", "005", "", "Postingteilstück"},
    {"STRINGS", "006", "", "Warte auf Antwort von"},
    {"STRINGS", "007", "", "Upload von Bild:"},
    {"STRINGS", "008", "", "erfolgreich !"},
    {"STRINGS", "009", "", "fehlgeschlagen !"},
    {"STRINGS", "010", "", "Soundfile auswählen..."},
    {"STRINGS", "011", "", "Liste löschen ?"},
    {"STRINGS", "012", "", "Bild(er) auswählen..."},
    {"STRINGS", "013", "", ">>Bilder wurden hochgeladen mit Lumar<<"},
    {"STRINGS", "014", "", "VBCode speichern..."},
    {"STRINGS", "015", "", "Verbinde zu "},
    {"STRINGS", "016", "", "Verbindung zu "},
    {"STRINGS", "017", "", "Sende Request..."},
    {"STRINGS", "018", "", "Rückmeldung von "},
    {"STRINGS", "020", "", "VBCode ändern"},
    {"STRINGS", "021", "", " erhalten "},
    {"STRINGS", "022", "", "VBCode speichern..."},
    {"STRINGS", "023", "", "Die vorhandenen VBCode löschen ?"},
    {"STRINGS", "024", "", "VBCode laden..."},
    {"STRINGS", "030", "", "Status: Bereit"},
    {"STRINGS", "031", "", "Datei nicht lesbar"},
    {"STRINGS", "032", "", "Host nicht gefunden"},
    {"STRINGS", "033", "", "Verbindung fehlgeschlagen"},
    {"STRINGS", "034", "", "Senden fehlgeschlagen"},
    {"STRINGS", "035", "", "Zeitüberschreitung"},
    {"STRINGS", "036", "", "kein Code in der Antwort"},
    {"STRINGS", "037", "", "abgebrochen"},
    {"STRINGS", "038", "", "Die Einstellungen können nicht gespeichert werden. Ordner:"},
    {"STRINGS", "039", "", "Spende"},
    {"STRINGS", "040", "", "In den Infobereich"},
    {"STRINGS", "041", "", "Beenden"},
    {"STRINGS", "042", "", "Links ausgeben als"},
    {"STRINGS", "043", "", "-| BILDFEHLER |-"},
    {"STRINGS", "044", "", "Die Datei"},
    {"STRINGS", "045", "", "ist kein gültiges Bild !"},
    {"STRINGS", "046", "", "Es wurden nicht alle Bilder erfolgreich hochgeladen...."},
    {"STRINGS", "047", "",
     "Du kannst diese nachträglich hochladen ohne den Code der bisher hochgeladenen Bildern "
     "zuverlieren. Schliesse dazu das Codefenster und starte den Upload erneut !"},
    {"STRINGS", "048", "",
     "Es gibt eine neue Version von Lumar. Soll ich die Downloadseite öffnen ?"},
    {"STRINGS", "049", "", "Lokaler Datenträger"},
    {"STRINGS", "050", "", "Wechseldatenträger"},
    {"STRINGS", "051", "", "Netzlaufwerk"},
    {"STRINGS", "052", "", "Sound anhalten"},
    // Not shown: the language of the texts, as a code such as "en"; Qt's own texts follow it.
    {"STRINGS", "053", "", "de"},
    {"STRINGS", "060", "", "leerer Code"},
    {"STRINGS", "061", "", "Code zu lang"},
    {"STRINGS", "070", "", "Ordner nicht lesbar:"},
    {"STRINGS", "071", "", "Pfad zu lang zum Öffnen:"},
    {"STRINGS", "080", "", "Proxy:"},
    {"STRINGS", "081", "", "leer = aus der Umgebung, direct = keiner"},
    {"STRINGS", "082", "", "Datei zu groß für diesen Hoster: %1 kB, höchstens %2 kB"},
    {"STRINGS", "085", "", "Markdown"},
    {"STRINGS", "086", "", "Bilder pro Zeile (0 = frei):"},
    {"STRINGS", "087", "", "Posting nach dem Upload in die Zwischenablage"},
    {"STRINGS", "090", "", "Schlüssel fehlt:"},
    {"STRINGS", "100", "", "Anbieter verwalten"},
    {"STRINGS", "101", "", "Anbieter..."},
    {"STRINGS", "102", "", "Importieren..."},
    {"STRINGS", "103", "", "Exportieren..."},
    {"STRINGS", "104", "", "Löschen"},
    {"STRINGS", "105", "", "Duplizieren"},
    {"STRINGS", "106", "", "Testen"},
    {"STRINGS", "107", "", "mit Schlüsseln"},
    {"STRINGS", "108", "", "Schlüssel"},
    {"STRINGS", "109", "", "Schlüssel speichern"},
    {"STRINGS", "110", "", "Herkunft"},
    {"STRINGS", "111", "", "eingebaut"},
    {"STRINGS", "112", "", "eigene"},
    {"STRINGS", "113", "", "Vorlage"},
    {"STRINGS", "114", "", "Definition auswählen..."},
    {"STRINGS", "115", "", "Definition speichern..."},
    {"STRINGS", "117", "", "Nicht importiert:"},
    {"STRINGS", "118", "", "Test läuft..."},
    {"STRINGS", "120", "", "übersprungen: dieser Hoster nimmt nur JPEG"},
    {"STRINGS", "125", "", "%1 von %2 Bildern hochgeladen"},
    {"STRINGS", "170", "", "übersprungen: dieser Hoster nimmt keine %1-Dateien"},
    {"STRINGS", "171", "", "Bilder vor dem Hochladen"},
    {"STRINGS", "172", "", "Standortdaten und Metadaten entfernen (empfohlen)"},
    {"STRINGS", "173", "",
     "Teilweise angekreuzt: automatisch, bei heutigen Hostern an, bei den klassischen aus"},
    {"STRINGS", "174", "", "Längste Seite höchstens (Pixel, 0 = unverändert):"},
    {"STRINGS", "175", "", "JPEG-Qualität verkleinerter Bilder:"},
    {"STRINGS", "126", "", "— Posting kopiert"},
    {"STRINGS", "127", "", "%1 von %2 Bild hochgeladen"},
    {"STRINGS", "140", "", "%1. Versuch"},
    {"STRINGS", "141", "", "bereits hochgeladen am %1, Code wiederverwendet"},
    {"STRINGS", "142", "",
     "Der Upload-Verlauf war beschädigt; er wurde nach %1 verschoben und neu angelegt"},
    {"STRINGS", "200", "", "%1 ist keine http- oder https-Adresse: %2"},
    // The upload history window.
    {"STRINGS", "150", "", "Verlauf..."},
    {"STRINGS", "151", "", "Lumar - Verlauf"},
    {"STRINGS", "152", "", "Suchen:"},
    {"STRINGS", "153", "", "Datum"},
    {"STRINGS", "154", "", "Hoster"},
    {"STRINGS", "155", "", "Datei"},
    {"STRINGS", "156", "", "Code"},
    {"STRINGS", "157", "", "Codes kopieren"},
    {"STRINGS", "158", "", "Posting erstellen"},
    {"STRINGS", "159", "", "Link öffnen"},
    {"STRINGS", "160", "", "Beim Hoster löschen"},
    {"STRINGS", "161", "", "Aus dem Verlauf entfernen"},
    {"STRINGS", "162", "", "Dieses Bild beim Hoster löschen?"},
    {"STRINGS", "163", "", "Der Hoster hat das Bild gelöscht."},
    {"STRINGS", "164", "", "Löschen fehlgeschlagen:"},
    {"STRINGS", "165", "",
     "Die gewählten Einträge aus dem Verlauf entfernen? Die Bilder bleiben beim Hoster."},
    {"STRINGS", "166", "", "Der Verlauf kann nicht geöffnet werden:"},
    {"STRINGS", "168", "", "%1 von %2 Einträgen"},
    {"STRINGS", "280", "", "Sprache:"},
    {"STRINGS", "281", "", "wie das System"},
    {"STRINGS", "282", "", "gilt ab dem nächsten Start"},
    {"STRINGS", "283", "", "Deutsch"},
    {"STRINGS", "284", "", "Lumar V1"},
    {"STRINGS", "285", "", "Lumar V1 - Information"},
    {"STRINGS", "286", "", "Klassische Hoster (Lumar 1)"},
    {"STRINGS", "287", "", "Hoster von heute"},
    {"STRINGS", "288", "", "Schlüssel fehlt"},
    {"STRINGS", "289", "", "— Zeilenumbruch —"},
    {"STRINGS", "290", "", "K"},
    {"STRINGS", "250", "", "Weiterleitung zu %1 abgelehnt: der Schlüssel bliebe nicht beim Hoster"},
    {"STRINGS", "251", "", "Bild zu groß: %1 MB, höchstens %2 MB"},
    {"STRINGS", "220", "", "Der Hoster fragt"},
    {"STRINGS", "221", "", "Der Hoster meldet"},
    {"STRINGS", "320", "", "Posting kopiert (%1 Zeichen)"},
    {"STRINGS", "321", "", "Posting kopiert (Teil %1 von %2, %3 Zeichen)"},
    {"STRINGS", "322", "", "Posting gespeichert (%1 Zeichen)"},
    {"STRINGS", "323", "", "Posting gespeichert (Teil %1 von %2, %3 Zeichen)"},
    {"STRINGS", "324", "", "nach oben"},
    {"STRINGS", "325", "", "nach unten"},
    {"STRINGS", "326", "", "Methode"},
    {"STRINGS", "327", "", "Adresse"},
    {"STRINGS", "328", "", "Anfrageinhalt"},
    {"STRINGS", "329", "", "Dateifeld"},
    {"STRINGS", "330", "", "Parameter"},
    {"STRINGS", "331", "", "Kopfzeilen"},
    {"STRINGS", "332", "", "Formularfelder"},
    {"STRINGS", "333", "", "Antwort: Bild"},
    {"STRINGS", "334", "", "Antwort: Vorschaubild"},
    {"STRINGS", "335", "", "Antwort: Fehler"},
    {"STRINGS", "336", "", "Schlüssel entfernen"},
    {"STRINGS", "337", "", "Schlüssel für %1 gespeichert."},
    {"STRINGS", "338", "", "Schlüssel für %1 entfernt."},
    {"STRINGS", "339", "", "Nur den Schlüssel eingeben, Lumar setzt „%1“ davor"},
    // Pictures from the screen and the clipboard.
    {"STRINGS", "340", "", "Bildschirmfoto…"},
    {"STRINGS", "341", "", "Einfügen"},
    {"STRINGS", "342", "", "Bildschirmfoto"},
    {"STRINGS", "343", "", "Bild"},
    {"STRINGS", "344", "", "Bildschirmfoto hinzugefügt:"},
    {"STRINGS", "345", "", "Bildschirmfoto abgebrochen"},
    {"STRINGS", "346", "", "Kein Bildschirmfoto-Dienst gefunden (XDG-Desktop-Portal)"},
    {"STRINGS", "347", "", "Bildschirmfoto fehlgeschlagen:"},
    {"STRINGS", "348", "",
     "Der Desktop bietet kein Bildschirmfoto an (kein XDG-Desktop-Portal). Stattdessen den "
     "ganzen Bildschirm aufnehmen?"},
    {"STRINGS", "349", "", "Die Zwischenablage enthält weder Bilder noch Dateien"},
    {"STRINGS", "350", "", "Eingefügt:"},
    {"STRINGS", "351", "", "Bild nicht gespeichert:"},
    {"STRINGS", "352", "", "kein Bild (JPEG, PNG, GIF oder WebP)"},
    {"STRINGS", "353", "", "größer als 200 MB"},
    {"STRINGS", "354", "", "Datei nicht lesbar"},
    {"STRINGS", "355", "", "Ordner nicht beschreibbar"},
    {"STRINGS", "356", "", "Schreiben fehlgeschlagen"},
    {"STRINGS", "357", "", "Bildschirmfotos und eingefügte Bilder:"},
    {"STRINGS", "358", "", "Ordner öffnen"},
    {"STRINGS", "359", "", "Aufbewahren (Tage, 0 = unbegrenzt):"},
    {"STRINGS", "360", "", "Bildschirmfoto: bitte im Dialog des Desktops wählen..."},
    {"STRINGS", "361", "", "der Bildschirm ließ sich nicht lesen"},
    // A run that waits and a run that ends.
    {"STRINGS", "420", "", "%1. Versuch in %2 s"},
    {"STRINGS", "421", "", "Beende …"},
    {"STRINGS", "422", "", "und %1 weitere"},
    {"STRINGS", "423", "", "Upload-Protokoll"},
    {"STRINGS", "424", "", "Posting kopieren"},
    // Bounds of what a picture or an answer may cost.
    {"STRINGS", "470", "", "JPEG-Datei mit mehr als %1 Segmenten"},
    // Reasons (shell/outcome.h) in words; "%1", "%2", ... take the reason's arguments.
    {"STRINGS", "370", "", "Datei nicht gefunden"},
    {"STRINGS", "371", "", "HTTP %1"},
    {"STRINGS", "372", "", "HTTP %1: %2"},
    {"STRINGS", "373", "", "Zeitüberschreitung bei der Namensauflösung von %1"},
    {"STRINGS", "374", "", "Host nicht gefunden: %1"},
    {"STRINGS", "375", "", "kein Socket für %1: %2"},
    {"STRINGS", "376", "", "keine Verbindung zu %1: %2"},
    {"STRINGS", "377", "", "keine Antwort von %1"},
    {"STRINGS", "378", "", "keine Verbindung zu %1 innerhalb der Wartezeit"},
    {"STRINGS", "379", "", "Zeitüberschreitung beim Warten auf den Proxy"},
    {"STRINGS", "380", "", "Zeitüberschreitung beim TLS-Handshake"},
    {"STRINGS", "381", "", "Zeitüberschreitung beim Senden"},
    {"STRINGS", "382", "", "Zeitüberschreitung beim Warten auf die Antwort"},
    {"STRINGS", "383", "", "TLS-Fehler: %1"},
    {"STRINGS", "384", "", "Senden fehlgeschlagen: %1"},
    {"STRINGS", "385", "", "Empfangen fehlgeschlagen: %1"},
    {"STRINGS", "386", "", "ungültige Antwort vom Proxy: %1"},
    {"STRINGS", "387", "", "der Proxy verweigert den Tunnel: HTTP %1"},
    {"STRINGS", "388", "", "der Proxy hat die Verbindung geschlossen"},
    {"STRINGS", "389", "", "Proxy nicht verwendbar: %1"},
    {"STRINGS", "390", "", "Proxy-Schema nicht unterstützt: %1"},
    {"STRINGS", "391", "", "Antwort abgeschnitten (kein TLS close-notify)"},
    {"STRINGS", "392", "", "fehlerhafte Antwort: %1"},
    {"STRINGS", "393", "", "Weiterleitungsschleife bei %1"},
    {"STRINGS", "394", "", "mehr als %1 Weiterleitungen"},
    {"STRINGS", "395", "", "Weiterleitung von https zu http abgelehnt: %1"},
    {"STRINGS", "396", "", "ungültige Weiterleitung zu %1"},
    {"STRINGS", "397", "", "Steuerzeichen in der Adresse: %1"},
    {"STRINGS", "398", "", "keine http- oder https-Adresse: %1"},
    {"STRINGS", "399", "",
     "Benutzername oder Passwort in der Adresse werden nicht unterstützt: %1"},
    {"STRINGS", "400", "", "ungültiger Host in der Adresse: %1"},
    {"STRINGS", "401", "", "ungültiger Port in der Adresse: %1"},
    {"STRINGS", "402", "", "ungültige Anfragemethode: %1"},
    {"STRINGS", "403", "", "ungültiges Anfrageziel: %1"},
    {"STRINGS", "404", "", "ungültiger Host: %1"},
    {"STRINGS", "405", "", "ungültiger Name einer Kopfzeile: %1"},
    {"STRINGS", "406", "", "ungültiger Wert der Kopfzeile %1"},
    {"STRINGS", "407", "", "die Kopfzeile %1 setzt Lumar selbst"},
    {"STRINGS", "408", "", "ungültiger Inhaltstyp: %1"},
    {"STRINGS", "409", "", "keine Multipart-Grenze gefunden"},
    {"STRINGS", "410", "", "kein Bild, das Lumar lesen kann"},
    {"STRINGS", "411", "", "nicht genug Speicher für das Bild"},
    {"STRINGS", "412", "", "Bildbibliothek: %1"},
    {"STRINGS", "413", "", "keine %1-Datei"},
    {"STRINGS", "414", "", "%1-Datei beschädigt"},
    {"STRINGS", "415", "", "%1-Datei unvollständig"},
    {"STRINGS", "416", "", "%1-Datei ohne Bilddaten"},
    {"STRINGS", "417", "", "die Antwort enthält keine Adresse"},
    {"STRINGS", "418", "", "die Antwort passt nicht zu den Vorlagen des Hosters: %1"},
    {"STRINGS", "419", "", "die Vorlagen der Anfrage schlugen fehl: %1"},
    {"STRINGS", "490", "", "über %1 hochgeladen"},
    {"STRINGS", "491", "", "auch über %1 fehlgeschlagen: %2"},
    {"STRINGS", "492", "",
     "Vorschaubild nicht hochgeladen: %1; das Bild steht in voller Größe im Posting"},
    {"STRINGS", "493", "",
     "Vorschaubild nicht erstellt: %1; das Bild steht in voller Größe im Posting"},
    {"STRINGS", "494", "", "Vorschaubilder selbst erstellen, wenn der Hoster keine liefert"},
    {"STRINGS", "495", "", "Ersatz, wenn ein Bild scheitert:"},
    {"STRINGS", "496", "", "(kein Ersatz)"},
    {"STRINGS", "497", "", "Kein Ersatz: %1 ist kein Hoster der Liste"},
    {"STRINGS", "498", "", "Kein Ersatz: %1 ist der gewählte Hoster selbst"},
    {"STRINGS", "499", "", "Kein Ersatz: %1 ist ein klassischer Hoster"},
    {"STRINGS", "500", "", "Ersatz: %1"},
    // The upload history's failures and deletions on the host.
    {"STRINGS", "450", "", "Upload-Verlauf %1 nicht nutzbar: %2"},
    {"STRINGS", "451", "", "Upload-Verlauf %1 stammt von einem neueren Lumar (Aufbau %2)"},
    {"STRINGS", "452", "", "Upload-Verlauf %1 ist von einem anderen Programm gesperrt"},
    {"STRINGS", "453", "", "Upload-Verlauf nicht geschrieben: %1"},
    {"STRINGS", "454", "", "hochgeladen, aber nicht im Verlauf gespeichert"},
    {"STRINGS", "455", "", "%1 Bild(er) hochgeladen, aber nicht im Verlauf gespeichert: %2"},
    {"STRINGS", "456", "", "die Antwort des Hosters bestätigt die Löschung nicht"},
    {"STRINGS", "457", "",
     "Die Löschseite des Hosters ist im Browser geöffnet; dort wird das Bild gelöscht. Der "
     "Eintrag wird nicht mehr wiederverwendet."},
    {"STRINGS", "458", "",
     "übersprungen: ein anderer Lauf (Prozess %1) lädt dieses Bild gerade zum selben Ziel hoch"},
};

bool SameName(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        const auto fold = [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; };
        if (fold(a[i]) != fold(b[i])) return false;
    }
    return true;
}

// "%03d" without the formatting machinery.
std::string KeyOf(int number) {
    std::string key = std::to_string(number);
    while (key.size() < 3) key.insert(key.begin(), '0');
    return key;
}

// The STRINGS entries by key, looked up once per program start for every text.
using StringsByKey = std::unordered_map<std::string_view, const LanguageEntry*>;

void LoadEntry(UiStrings& strings, const IniDocument& languageFile, const StringsByKey& byKey,
               int number) {
    if (const auto found = byKey.find(KeyOf(number)); found != byKey.end())
        strings.Set(number, LookupText(languageFile, *found->second));
}

}  // namespace

std::span<const LanguageEntry> LanguageTable() {
    return kTable;
}

std::span<const LanguageEntry> LanguageSection(std::string_view section) {
    const std::span<const LanguageEntry> all = kTable;
    size_t first = 0;
    while (first < all.size() && !SameName(all[first].section, section)) ++first;
    size_t last = first;
    while (last < all.size() && SameName(all[last].section, section)) ++last;
    return all.subspan(first, last - first);
}

const LanguageEntry* FindLanguageEntry(std::string_view section, std::string_view key) {
    for (const LanguageEntry& entry : LanguageSection(section))
        if (entry.key == key) return &entry;
    return nullptr;
}

std::string LookupText(const std::string& languageFile, const LanguageEntry& entry) {
    return ReadValue(languageFile, entry.section, entry.key, entry.defaultText);
}

std::string LookupText(const IniDocument& language, const LanguageEntry& entry) {
    return language.Read(entry.section, entry.key, entry.defaultText);
}

std::string LookupString(const std::string& languageFile, int number) {
    const LanguageEntry* entry = FindLanguageEntry(kStringsSection, KeyOf(number));
    return entry ? LookupText(languageFile, *entry) : std::string();
}

const std::string& UiStrings::Get(int index) const {
    static const std::string empty;
    if (index < 0 || index >= kSize) return empty;
    return entries_[static_cast<size_t>(index)];
}

void UiStrings::Set(int index, std::string text) {
    if (index < 0 || index >= kSize) return;
    entries_[static_cast<size_t>(index)] = std::move(text);
}

UiStrings LoadUiStrings(const std::string& languageFilePath, std::string_view cmBilder4Caption) {
    UiStrings strings;
    const IniDocument languageFile = LoadIniFile(languageFilePath).document;
    StringsByKey byKey;
    for (const LanguageEntry& entry : LanguageSection(kStringsSection))
        byKey.emplace(entry.key, &entry);
    auto load = [&](int number) { LoadEntry(strings, languageFile, byKey, number); };
    for (int n = 1; n <= 18; ++n) load(n);
    for (int n = 21; n <= 24; ++n) load(n);
    strings.Set(kStrInsertTextBlock, std::string(cmBilder4Caption));
    load(kStrChangeTextBlock);
    load(kStrStatusReady);
    for (int n = kReasonFileUnreadable; n <= kReasonCancelled; ++n) load(n);
    load(kStrSettingsNotSaved);
    for (int n = kStrDonation; n < UiStrings::kSize; ++n) load(n);
    return strings;
}

std::string WithVersion(std::string_view text) {
    return ReplaceAll(text, "%1", AppVersionText(LUMAR_VERSION));
}

std::string FormatMegabytes(double bytes, std::string_view decimalSeparator) {
    const double megabytes = bytes / 1024.0 / 1024.0;
    std::string text;
    if (std::isfinite(megabytes) && std::fabs(megabytes) < 1e15) {
        // Whole hundredths, so 2.675 MB becomes 2,68 as the user expects, not 2,67.
        const long long hundredths = std::llround(megabytes * 100.0);
        const unsigned long long magnitude =
            hundredths < 0 ? 0ULL - static_cast<unsigned long long>(hundredths)
                           : static_cast<unsigned long long>(hundredths);
        // Built with snprintf: GCC 12 at -O3 reports a false overlap for string concatenation here.
        char whole[32];
        char cents[8];
        std::snprintf(whole, sizeof whole, "%s%llu", hundredths < 0 ? "-" : "", magnitude / 100);
        std::snprintf(cents, sizeof cents, "%02llu", magnitude % 100);
        text.append(whole).append(decimalSeparator).append(cents);
        return text;
    }
    return FormatFixed(megabytes, 2, decimalSeparator);
}

std::string FormatStatsPanel(const UiStrings& strings, double files, double bytes,
                             std::string_view decimalSeparator) {
    return strings.Get(kStrUpload) + " " + FormatCount(files) + " - " + strings.Get(kStrSize) +
           " " + FormatMegabytes(bytes, decimalSeparator) + " MB";
}

}  // namespace lumar
