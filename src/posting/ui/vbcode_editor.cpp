#include "posting/ui/vbcode_editor.h"

#include <QComboBox>
#include <QFileInfo>
#include <QFont>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QVBoxLayout>

#include "posting/ui/vbc_file_question.h"
#include "posting/vbc_file.h"
#include "shell/language_table.h"
#include "shell/plain_text.h"
#include "shell/settings_keys.h"
#include "shell/ui/captions.h"
#include "shell/ui/dialogs.h"
#include "shell/ui/qt_text.h"

namespace lumar::ui {
namespace {

void FillCombo(QComboBox* box, const std::vector<std::string>& entries, int selected) {
    box->clear();
    for (const std::string& entry : entries) box->addItem(ToQ(entry));
    box->setCurrentIndex(selected >= 0 && selected < box->count() ? selected : 0);
}

QLabel* Label(const QString& text, const char* name, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    label->setObjectName(name);
    return label;
}

}  // namespace

std::string TextForBox(std::string_view stored) {
    return ReplaceAll(stored, "\r\n", "\n");
}
std::string TextFromBox(std::string_view boxText) {
    return ReplaceAll(boxText, "\n", "\r\n");
}

VbCodeEditor::VbCodeEditor(TextBlocks& blocks, TextBlockEditMode mode, int editIndex,
                           VbCodeEditorEnv env, QWidget* parent)
    : QDialog(parent), blocks_(blocks), mode_(mode), editIndex_(editIndex), env_(std::move(env)) {
    if (!env_.dialogs) env_.dialogs = ModalDialogs();
    setObjectName("frmVBCode");
    setWindowTitle(QString::fromUtf8("VBCode einfügen"));
    setModal(true);
    BuildControls();
    FillLists();
    ApplyCaptions(this, "Frame6", env_.languageFile);
    // "K" is German for italic; other languages name the style by their own initial.
    cmdFont_[1]->setText(ToQ(LookupString(env_.languageFile, kStrItalicButton)));
    if (mode_ == TextBlockEditMode::kChange) {
        if (std::optional<std::string> text = blocks_.Get(editIndex_))
            txInfo_->setPlainText(ToQ(TextForBox(*text)));
    }
}

VbCodeEditor::~VbCodeEditor() = default;

// Built in the order the focus should travel: font, inserts, text, placement and commands.
void VbCodeEditor::BuildControls() {
    QGroupBox* frameFont = BuildFontBox();
    QGroupBox* framePaste = BuildInsertBox();
    BuildTextBox();
    QHBoxLayout* bottom = BuildBottomRow();

    auto* top = new QHBoxLayout;
    top->addWidget(frameFont, 3);
    top->addWidget(framePaste, 2);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(txInfo_, 1);
    layout->addLayout(bottom);
}

QGroupBox* VbCodeEditor::BuildFontBox() {
    auto* frameFont = new QGroupBox("  -> Schrift", this);
    frameFont->setObjectName("frames_13");
    auto* fontGrid = new QGridLayout(frameFont);
    fontGrid->addWidget(Label("Style", "labels_12", frameFont), 0, 0);
    fontGrid->addLayout(BuildStyleRow(frameFont), 0, 1);
    cbColor_ = new QComboBox(frameFont);
    cbColor_->setObjectName("cbColor");
    cbFont_ = new QComboBox(frameFont);
    cbFont_->setObjectName("cbFont");
    cbSize_ = new QComboBox(frameFont);
    cbSize_->setObjectName("cbSize");
    fontGrid->addWidget(Label("Farbe", "labels_13", frameFont), 1, 0);
    fontGrid->addWidget(cbColor_, 1, 1);
    fontGrid->addWidget(Label("Font", "labels_14", frameFont), 2, 0);
    auto* fontRow = new QHBoxLayout;
    fontRow->addWidget(cbFont_, 1);
    fontRow->addWidget(cbSize_);
    fontGrid->addLayout(fontRow, 2, 1);
    fontGrid->addWidget(cmdFont_[3], 3, 1);
    return frameFont;
}

// The B, K, U buttons, each in the style it sets, and "setze Schrift" (placed by the caller).
QHBoxLayout* VbCodeEditor::BuildStyleRow(QGroupBox* frameFont) {
    const char* styles[3] = {"B", "K", "U"};
    for (int i = 0; i < 4; ++i) {
        cmdFont_[i] = new QPushButton(i < 3 ? styles[i] : "setze Schrift", frameFont);
        cmdFont_[i]->setObjectName(QStringLiteral("cmdFont_%1").arg(i));
        cmdFont_[i]->setFocusPolicy(Qt::NoFocus);
        connect(cmdFont_[i], &QPushButton::clicked, this, [this, i] { OnStyle(i); });
    }
    QFont bold = cmdFont_[0]->font();
    bold.setBold(true);
    cmdFont_[0]->setFont(bold);
    QFont italic = cmdFont_[1]->font();
    italic.setItalic(true);
    cmdFont_[1]->setFont(italic);
    QFont underline = cmdFont_[2]->font();
    underline.setUnderline(true);
    cmdFont_[2]->setFont(underline);
    auto* styleRow = new QHBoxLayout;
    for (int i = 0; i < 3; ++i) {
        cmdFont_[i]->setFixedWidth(30);
        styleRow->addWidget(cmdFont_[i]);
    }
    styleRow->addStretch(1);
    return styleRow;
}

QGroupBox* VbCodeEditor::BuildInsertBox() {
    auto* framePaste = new QGroupBox(" -> Einfügen ...", this);
    framePaste->setObjectName("frames_14");
    auto* pasteGrid = new QGridLayout(framePaste);
    const char* inserts[5] = {"Bild", "Link", "Linie", "Quote", "Center"};
    for (int i = 0; i < 5; ++i) {
        cmdPaste_[i] = new QPushButton(inserts[i], framePaste);
        cmdPaste_[i]->setObjectName(QStringLiteral("cmdPaste_%1").arg(i));
        cmdPaste_[i]->setFocusPolicy(Qt::NoFocus);
        pasteGrid->addWidget(cmdPaste_[i], i / 2, i % 2);
        connect(cmdPaste_[i], &QPushButton::clicked, this, [this, i] { OnInsert(i); });
    }
    return framePaste;
}

void VbCodeEditor::BuildTextBox() {
    txInfo_ = new QPlainTextEdit(this);
    txInfo_->setObjectName("txInfo");
    txInfo_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    txInfo_->setMinimumSize(360, 180);
}

QHBoxLayout* VbCodeEditor::BuildBottomRow() {
    const char* placements[2] = {"davor", "danach"};
    auto* bottom = new QHBoxLayout;
    for (int i = 0; i < 2; ++i) {
        opAusrichung_[i] = new QRadioButton(placements[i], this);
        opAusrichung_[i]->setObjectName(QStringLiteral("opAusrichung_%1").arg(i));
        bottom->addWidget(opAusrichung_[i]);
    }
    bottom->addStretch(1);
    const char* commands[3] = {"Speichern", "Laden", "Übernehmen"};
    for (int i = 0; i < 3; ++i) {
        cmOK_[i] = new QPushButton(QString::fromUtf8(commands[i]), this);
        cmOK_[i]->setObjectName(QStringLiteral("cmOK_%1").arg(i));
        cmOK_[i]->setAutoDefault(false);
        bottom->addWidget(cmOK_[i]);
    }
    connect(cmOK_[0], &QPushButton::clicked, this, &VbCodeEditor::OnSave);
    connect(cmOK_[1], &QPushButton::clicked, this, &VbCodeEditor::OnLoad);
    connect(cmOK_[2], &QPushButton::clicked, this, &VbCodeEditor::OnTakeOver);
    return bottom;
}

void VbCodeEditor::FillLists() {
    const EditorChoices choices = ReadEditorChoices(env_.settingsFile);
    FillCombo(cbColor_, EditorColorNames(), choices.color);
    FillCombo(cbFont_, EditorFontNames(), choices.font);
    FillCombo(cbSize_, EditorSizeNames(), choices.size);
    opAusrichung_[choices.placement == TextBlockPlacement::kAfter ? 1 : 0]->setChecked(true);
}

TextBlockPlacement VbCodeEditor::Placement() const {
    return opAusrichung_[1]->isChecked() ? TextBlockPlacement::kAfter : TextBlockPlacement::kBefore;
}

QString VbCodeEditor::String(int entry, const char* fallback) const {
    if (env_.strings && !env_.strings->Get(entry).empty()) return ToQ(env_.strings->Get(entry));
    return QString::fromUtf8(fallback);
}

EditorText VbCodeEditor::Current() const {
    // The raw text keeps every character (no-break spaces included) at the positions the
    // cursor counts; only the paragraph separators become "\n".
    QString raw = txInfo_->document()->toRawText();
    raw.replace(QChar::ParagraphSeparator, QLatin1Char('\n'));
    raw.replace(QChar::LineSeparator, QLatin1Char('\n'));
    const QTextCursor cursor = txInfo_->textCursor();
    return EditorText{FromQ(raw), cursor.selectionStart(),
                      cursor.selectionEnd() - cursor.selectionStart()};
}

void VbCodeEditor::Apply(const EditorText& edit) {
    if (edit.text != Current().text) {
        // One undo step for the whole change.
        QTextCursor all(txInfo_->document());
        all.beginEditBlock();
        all.select(QTextCursor::Document);
        all.insertText(ToQ(edit.text));
        all.endEditBlock();
    }
    QTextCursor cursor = txInfo_->textCursor();
    cursor.setPosition(edit.selectionStart);
    cursor.setPosition(edit.selectionStart + edit.selectionLength, QTextCursor::KeepAnchor);
    txInfo_->setTextCursor(cursor);
    txInfo_->setFocus();
}

void VbCodeEditor::OnStyle(int index) {
    const FontChoice choice{FromQ(cbFont_->currentText()), FromQ(cbSize_->currentText()),
                            FromQ(cbColor_->currentText())};
    Apply(ApplyStyleButton(Current(), index, choice));
}

void VbCodeEditor::OnInsert(int index) {
    Apply(ApplyInsertButton(Current(), index));
}

void VbCodeEditor::ReportFileError(const QString& path, const std::string& reason, bool saving) {
    const QString text =
        saving ? QString::fromUtf8("Die Datei %1 konnte nicht gespeichert werden:\n%2")
               : QString::fromUtf8("Die Datei %1 konnte nicht gelesen werden:\n%2");
    env_.dialogs->Warn(this, QStringLiteral("Lumar"),
                       text.arg(QFileInfo(path).absoluteFilePath(), ToQ(reason)));
}

void VbCodeEditor::OnSave() {
    const QString folder = ToQ(ReadTextSetting(env_.settingsFile, keys::SavePath));
    const QString path = env_.dialogs->ChooseSaveFile(
        this, VbcFileQuestion(String(kStrSaveTextBlock, "VBCode speichern..."), folder));
    if (path.isEmpty()) return;
    const std::string error = SaveVbcFile(FromQ(path), TextFromBox(Current().text));
    if (!error.empty()) {
        ReportFileError(path, error, true);
        return;
    }
    RememberSaveFolder(env_.settingsFile, keys::SavePath, FromQ(path));
}

void VbCodeEditor::OnLoad() {
    // "Yes" replaces the text with the file's; the text goes only once a file has been read,
    // so a cancelled dialog or an unreadable file loses nothing.
    const bool replace =
        !txInfo_->document()->isEmpty() &&
        env_.dialogs->AskYesNo(this, QStringLiteral("Lumar"),
                               String(kStrClearEditor, "Die vorhandenen VBCode löschen ?"));
    const QString folder = ToQ(ReadTextSetting(env_.settingsFile, keys::SavePath));
    const QString path = env_.dialogs->ChooseOpenFile(
        this, VbcFileQuestion(String(kStrLoadTextBlock, "VBCode laden..."), folder));
    if (path.isEmpty()) return;
    std::string error;
    const std::optional<std::string> text = LoadVbcFile(FromQ(path), &error);
    if (!text) {
        ReportFileError(path, error, false);
        return;
    }
    if (replace) txInfo_->clear();
    QTextCursor end(txInfo_->document());
    end.movePosition(QTextCursor::End);
    end.insertText(ToQ(TextForBox(*text)));
    txInfo_->setTextCursor(end);
    txInfo_->setFocus();
}

void VbCodeEditor::OnTakeOver() {
    const EditorChoices choices{cbColor_->currentIndex(), cbFont_->currentIndex(),
                                cbSize_->currentIndex(), Placement()};
    stored_ = TakeOverTextBlock(env_.settingsFile, blocks_, mode_, editIndex_,
                                TextFromBox(Current().text), choices);
    accept();
}

TextBlockEditOutcome EditTextBlock(QWidget* owner, TextBlocks& blocks, TextBlockEditMode mode,
                                   int editIndex, VbCodeEditorEnv env) {
    VbCodeEditor editor(blocks, mode, editIndex, std::move(env), owner);
    editor.exec();
    return TextBlockEditOutcome{editor.StoredBlock(), editor.Placement()};
}

}  // namespace lumar::ui
