#pragma once
// Every interface text of Lumar with its German default, and the table of runtime messages.
//
// Each window looks up its own section of language.ini when it loads (captions of the main
// window: Frame0 to Frame3; folder browser: Frame4; options dialog: Frame5; BBCode editor:
// Frame6). Messages of section STRINGS go into `UiStrings` once at start-up. A missing file,
// section or key gives the German default; the store's default rule removes the trailing
// blanks that some defaults carry, so "-> Bilder " is shown as "-> Bilder".
#include <array>
#include <span>
#include <string>
#include <string_view>

#include "shell/ini_document.h"

namespace lumar {

// One caption or message of language.ini.
//
// `target` names the control the text goes to, by objectName:
//  - a single control by its name ("ckBilder", "cmUpload");
//  - an element of a control array as <name>_<index> ("Frame_0", "cmBilder_4", "lbPic_2");
//  - a column header of a list as <list>#<column>, counted from 1 ("lvBilder#1");
//  - the window's own title as "#title".
// STRINGS entries have no target; their key number is the `UiStrings` entry.
struct LanguageEntry {
    std::string_view section;
    std::string_view key;
    std::string_view target;
    std::string_view defaultText;  // German, trailing blanks included as the lookup gets them
};

inline constexpr std::string_view kStringsSection = "STRINGS";

// The whole table, sections in file order (Frame0 .. Frame6, then STRINGS).
std::span<const LanguageEntry> LanguageTable();

// The entries of one section, in key order. Section names match without regard to case.
std::span<const LanguageEntry> LanguageSection(std::string_view section);

// The table entry of a section and key, or nullptr.
const LanguageEntry* FindLanguageEntry(std::string_view section, std::string_view key);

// The text of one entry from the language file (its German default when the file, the
// section or the key is missing).
std::string LookupText(const std::string& languageFile, const LanguageEntry& entry);
// The same in a language file already parsed (LoadIniFile), for loading many texts at once.
std::string LookupText(const IniDocument& language, const LanguageEntry& entry);
// The same for STRINGS entry `number`, for windows that need a message before or without the
// program's UiStrings; "" for a number the table does not hold.
std::string LookupString(const std::string& languageFile, int number);

// Entries of `UiStrings`; the number is the STRINGS key, except entry 19 (see LoadUiStrings).
enum UiString : int {
    kStrUploadSize = 1,   // total size of the list
    kStrImages = 2,       // image count, status panel 2
    kStrUpload = 3,       // upload totals, status panel 3
    kStrSize = 4,         // upload totals, status panel 3
    kStrPostingPart = 5,  // entries of the posting-part selector
    kStrWaitingFor = 6,   // upload status lines ...
    kStrUploadOf = 7,
    kStrSucceeded = 8,
    kStrFailed = 9,
    kStrChooseSound = 10,   // title of the sound-file chooser
    kStrClearList = 11,     // question before the list is cleared
    kStrChooseImages = 12,  // title of the image-file chooser
    kStrAdvertising = 13,   // advertising line of the posting
    kStrSavePosting = 14,   // title of the dialog that saves the posting
    kStrConnectingTo = 15,  // upload status lines ...
    kStrConnectionTo = 16,
    kStrSendingRequest = 17,
    kStrAnswerFrom = 18,
    kStrInsertTextBlock = 19,  // caption of cmBilder_4 while no text-block row is selected
    kStrChangeTextBlock = 20,  // caption of cmBilder_4 while a text-block row is selected
    kStrReceived = 21,
    kStrSaveTextBlock = 22,  // BBCode editor: title of its save dialog
    kStrClearEditor = 23,    // BBCode editor: question before loading
    kStrLoadTextBlock = 24,  // BBCode editor: title of its load dialog
    kStrStatusReady = 30,    // status panel 1 at start-up, after a leading blank
    // Why one upload failed, for the upload log.
    kReasonFileUnreadable = 31,
    kReasonHostNotFound = 32,
    kReasonConnectFailed = 33,
    kReasonSendFailed = 34,
    kReasonTimeout = 35,
    kReasonNoCode = 36,
    kReasonCancelled = 37,
    // Start-up warning when the settings folder cannot be written, followed by the folder.
    kStrSettingsNotSaved = 38,
    kStrDonation = 39,   // the donation badge
    kStrToTrayTip = 40,  // tool tips of the minimise and close images
    kStrQuitTip = 41,
    kStrLinksAs = 42,           // code panel: label before the output formats
    kStrNotAnImageTitle = 43,   // message when an added file is no image:
    kStrNotAnImageBefore = 44,  //   "Die Datei" + path + "ist kein gültiges Bild !"
    kStrNotAnImageAfter = 45,
    kStrNotAllUploaded = 46,      // after a run with images left: first paragraph, then the
    kStrNotAllUploadedHint = 47,  //   hint how to upload the rest
    kStrUpdateQuestion = 48,      // the update check's question
    kStrFixedDrive = 49,          // folder tree: captions of drives without a volume label
    kStrRemovableDrive = 50,
    kStrNetworkDrive = 51,
    kStrStopSoundTip = 52,  // tool tip of the stop-sound button
    kStrLanguageCode = 53,  // the language of the texts ("de", "en", ...)
    // Why a cut out of the answer is no code.
    kReasonEmptyCode = 60,
    kReasonCodeTooLong = 61,
    // Status line after a folder scan left something out, each followed by the path.
    kStrFolderUnreadable = 70,
    kStrPathTooLong = 71,
    // The options dialog's proxy line: its caption and the hint beside it.
    kStrProxyCaption = 80,
    kStrProxyHint = 81,
    // An image over a host's size limit: "%1" its size, "%2" the limit, both in kB.
    kStrFileTooLarge = 82,
    // Code panel: the third output format, images per line, copying at the end of a run.
    kStrMarkdown = 85,
    kStrImagesPerLine = 86,
    kStrAutoCopy = 87,
    // Why an image was not sent: the row lacks a key it needs, followed by the key's name.
    kReasonMissingKey = 90,
    // The hosters window and the buttons that open it.
    kStrHostersTitle = 100,
    kStrHostersButton = 101,
    kStrImport = 102,
    kStrExport = 103,
    kStrDelete = 104,
    kStrDuplicate = 105,
    kStrTest = 106,
    kStrWithKeys = 107,
    kStrKeyCaption = 108,  // followed by the key's name
    kStrSaveKey = 109,
    kStrOrigin = 110,  // column caption
    kStrOriginBuiltIn = 111,
    kStrOriginOwn = 112,
    kStrOriginPreset = 113,
    kStrChooseDefinition = 114,  // file dialog titles
    kStrSaveDefinition = 115,
    kStrNotImported = 117,  // message box over the refused files, each with its reason
    kStrTesting = 118,
    // Upload log: a picture other than JPEG was not sent to a row that takes JPEG files only.
    kStrSkippedJpegOnly = 120,
    // The same for a row that lists the types it takes: "%1" is the picture's type.
    kStrSkippedType = 170,
    // The options dialog's frame of what is done to pictures before they are sent.
    kStrPicturesFrame = 171,
    kStrStripCaption = 172,
    kStrStripAutomatic = 173,  // shown while the strip box is partly checked
    kStrMaxSideCaption = 174,
    kStrQualityCaption = 175,
    // The desktop notification at the end of a run: "%1" images uploaded of "%2" (127 when the
    // run had a single image), followed by a blank and 126 when the posting went to the clipboard.
    kStrRunNotification = 125,
    kStrRunNotificationCopied = 126,
    kStrRunNotificationOne = 127,
    // Upload log: an image that needed retries ("%1" the try that worked or failed last), and
    // one whose code came from the history ("%1" the date of that upload).
    kStrAttempt = 140,
    kStrReused = 141,
    // Upload log: the history file was damaged and moved aside ("%1" where it went).
    kStrHistoryReplaced = 142,
    // Pictures from the screen and the clipboard: the button and the list's menu entries, the
    // first words of the files' names, and the status line after each (followed by a name or
    // a reason).
    kStrScreenshotButton = 340,
    kStrPaste = 341,
    kStrScreenshotName = 342,
    kStrPictureName = 343,
    kStrScreenshotAdded = 344,
    kStrScreenshotCancelled = 345,
    kStrNoScreenshotService = 346,
    kStrScreenshotFailed = 347,
    kStrWholeScreenQuestion = 348,  // offered where the desktop has no screenshot service
    kStrNothingToPaste = 349,
    kStrPasted = 350,
    kStrPictureNotSaved = 351,
    // Why a picture could not be kept in the captures folder.
    kReasonCaptureNotAPicture = 352,
    kReasonCaptureTooLarge = 353,
    kReasonCaptureUnreadable = 354,
    kReasonCaptureFolder = 355,
    kReasonCaptureWrite = 356,
    // The options dialog's line of the captures folder and how long captures are kept.
    kStrCapturesCaption = 357,
    kStrOpenFolder = 358,
    kStrCaptureDaysCaption = 359,
    kStrScreenshotWaiting = 360,  // while the desktop's screenshot dialog is open
    kReasonScreenUnread = 361,    // Qt could not read the whole screen
    // Status line after "Clipboard" and "Speichern....": the characters, and for a split
    // posting the part and the number of parts.
    kStrPostingCopied = 320,
    kStrPostingPartCopied = 321,
    kStrPostingSaved = 322,
    kStrPostingPartSaved = 323,
    // Context menu of the image list.
    kStrMoveUp = 324,
    kStrMoveDown = 325,
    // Hosters window: captions of a row's fields, in the form's order from the method on.
    kStrFieldMethod = 326,
    kStrFieldAddress = 327,
    kStrFieldBody = 328,
    kStrFieldFile = 329,
    kStrFieldParameters = 330,
    kStrFieldHeaders = 331,
    kStrFieldArguments = 332,
    kStrFieldImage = 333,
    kStrFieldThumbnail = 334,
    kStrFieldError = 335,
    kStrRemoveKey = 336,
    kStrKeySaved = 337,    // "%1" the row's ID
    kStrKeyRemoved = 338,  // "%1" the row's ID
    kStrKeyScheme = 339,   // the key field's hint when Lumar puts "%1" before the key
    // The small dialog before a run that asks a host definition's questions ({inputbox},
    // {select}), and the box after it that shows what the host's answers had to say
    // ({outputbox}).
    kStrHostQuestions = 220,
    kStrHostOutput = 221,
    // Why an image got no code: a link the host's answer gave is no web address ("%1" the
    // field that read it, "%2" what it read).
    kReasonNotWebLink = 200,
    // Upload log: a redirect to another host ("%1") not followed, so the row's key stays with
    // its host.
    kStrKeyRedirectRefused = 250,
    // Upload log: a picture larger than the general cap ("%1" its size, "%2" the cap, in MB).
    kStrPictureTooLarge = 251,
    // The options dialog's language choice: caption, the entry that leaves it to the locale,
    // and the hint that it takes effect at the next start.
    kStrLanguageCaption = 280,
    kStrLanguageFromLocale = 281,
    kStrLanguageNextStart = 282,
    kStrLanguageName = 283,  // the language of the texts in its own words ("Deutsch")
    // Titles of the update question and of the message after a run with images left; "%1"
    // stands for the version.
    kStrUpdateTitle = 284,
    kStrNotAllUploadedTitle = 285,
    // The hoster choice: captions over the built-in rows and over today's, and the note after
    // a row that still lacks its key.
    kStrClassicHosters = 286,
    kStrTodaysHosters = 287,
    kStrKeyStillMissing = 288,
    kStrBreakRow = 289,      // how the image list shows a break row
    kStrItalicButton = 290,  // the BBCode editor's italic button
    // 370 to 419: the texts of the reason codes (shell/outcome.h) that have none above, in the
    // order of ReasonCode; shell/reason_text.cpp maps them.
    // A run that waits and a run that ends: the next try after a pause ("%1" its number, "%2"
    // the seconds left), the window while quitting waits for the answers of the images sent,
    // the end message's line after the first failed images ("%1" how many more), the code
    // panel's button that shows the run's log (also the log window's title), and the history
    // window's button that copies its posting.
    kStrRetryIn = 420,
    kStrClosing = 421,
    kStrMoreFailed = 422,
    kStrShowRunLog = 423,
    kStrCopyPosting = 424,
    // Bounds of what a picture or an answer may cost.
    kReasonTooManySegments = 470,
    // Thumbnails Lumar makes for rows whose answer has none, and the fallback row.
    kStrViaFallback = 490,       // upload log: "%1" the fallback row that took the image
    kStrFallbackFailed = 491,    // upload log: "%1" the fallback row, "%2" why it failed too
    kStrThumbNotUploaded = 492,  // upload log: "%1" why the thumbnail's upload failed
    kStrThumbNotMade = 493,      // upload log: "%1" why no thumbnail could be made
    kStrOwnThumbsCaption = 494,  // the options dialog's check box
    kStrFallbackCaption = 495,   // the hosters window's fallback choice
    kStrNoFallback = 496,        // its entry for none
    kStrFallbackUnknown = 497,   // ReasonCode::kFallbackUnknown
    kStrFallbackIsChosen = 498,  // ReasonCode::kFallbackIsChosen
    kStrFallbackClassic = 499,   // ReasonCode::kFallbackClassic
    kStrFallbackSaved = 500,     // the hosters window: "%1" the fallback chosen, or none
    // The upload history: why it cannot be used or written (ReasonCode kHistory...), the note
    // after an image whose code it could not keep, and the line at the end of such a run ("%1"
    // the images, "%2" why).
    kReasonHistoryUnusable = 450,
    kReasonHistoryNewer = 451,
    kReasonHistoryLocked = 452,
    kReasonHistoryNotWritten = 453,
    kStrNotInHistory = 454,
    kStrNotInHistoryEnd = 455,
    // Deletion on the host: the answer did not confirm it, and the message after the deletion
    // page was opened in the browser instead.
    kReasonDeletionUnconfirmed = 456,
    kStrDeletionPageOpened = 457,
    // Upload log: a picture skipped because another run ("%1" its process) kept sending it
    // past the time-out.
    kStrClaimedElsewhere = 458,
};

// The runtime message texts, loaded once at start-up and read by every window.
class UiStrings {
  public:
    static constexpr int kSize = 510;  // entries 0 .. 509

    // The text of an entry; "" for an entry that was never set or lies outside the table.
    [[nodiscard]] const std::string& Get(int index) const;
    void Set(int index, std::string text);

  private:
    std::array<std::string, kSize> entries_{};
};

// Fills the table from section STRINGS of the language file in this order: 001 to 018,
// 021 to 024, then entry 19 = `cmBilder4Caption` (the caption the text-block button carries
// after its own caption was applied, so a translated Frame0/007 comes back when the button
// returns to "insert"), then 020, then 030, then the failure reasons 031 to 037 and 038, then
// the entries from 039 on.
UiStrings LoadUiStrings(const std::string& languageFile, std::string_view cmBilder4Caption);

// A title text with its "%1" replaced by the version label ("Lumar %1" gives "Lumar 2.00").
std::string WithVersion(std::string_view text);

// "0.00": the byte count in MB (1024 * 1024 bytes), rounded half away from zero to two
// decimals, with the given decimal separator.
std::string FormatMegabytes(double bytes, std::string_view decimalSeparator);

// Status panel 3: "Upload: 12 - Size: 3,50 MB" with the texts of entries 3 and 4.
std::string FormatStatsPanel(const UiStrings& strings, double files, double bytes,
                             std::string_view decimalSeparator);

}  // namespace lumar
