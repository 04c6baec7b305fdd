#include "upload/ui/hosters_window.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFileInfo>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "hosters/hoster_definition.h"
#include "hosters/hoster_rows.h"
#include "hosters/sxcu_file.h"
#include "shell/file_io.h"
#include "shell/reason_text.h"
#include "shell/settings_keys.h"
#include "shell/ui/dialogs.h"
#include "shell/ui/named_widget.h"
#include "shell/ui/qt_text.h"
#include "shell/ui/task_driver.h"
#include "upload/probe.h"
#include "upload/upload_run.h"

namespace lumar::ui {
namespace {

QString OriginText(const UiStrings& strings, RowOrigin origin) {
    switch (origin) {
        case RowOrigin::kBuiltIn:
            return ToQ(strings.Get(kStrOriginBuiltIn));
        case RowOrigin::kHostersIni:
            return QStringLiteral("hosters.ini");
        case RowOrigin::kDefinition:
            return ToQ(strings.Get(kStrOriginOwn));
        case RowOrigin::kPreset:
            return ToQ(strings.Get(kStrOriginPreset));
    }
    return {};
}

std::string JoinNamed(const NamedValues& values) {
    std::string text;
    for (const auto& [name, value] : values)
        text += (text.empty() ? "" : "; ") + name + (value.empty() ? "" : ": " + value);
    return text;
}

}  // namespace

HostersWindow::HostersWindow(HostersWindowEnv env, const UiStrings& strings, Dialogs& dialogs,
                             QWidget* parent)
    : QDialog(parent), env_(std::move(env)), strings_(strings), dialogs_(dialogs) {
    setObjectName("frmHosters");
    setWindowTitle(Str(kStrHostersTitle));
    resize(860, 780);

    lvHosters_ = new QTreeWidget(this);
    lvHosters_->setObjectName("lvHosters");
    lvHosters_->setRootIsDecorated(false);
    lvHosters_->setHeaderLabels({"#", "ID", Str(kStrOrigin), "Name"});
    lvHosters_->header()->setSectionResizeMode(QHeaderView::ResizeToContents);

    auto* form = new QWidget(this);
    form->setObjectName("frmFields");
    auto* fields = new QFormLayout(form);
    // Captions in words; the name of the definition format, which is what a user compares
    // with a host's file, is the tool tip.
    const std::pair<const char*, int> kFields[] = {{"Name", 0},
                                                   {"RequestMethod", kStrFieldMethod},
                                                   {"RequestURL", kStrFieldAddress},
                                                   {"Body", kStrFieldBody},
                                                   {"FileFormName", kStrFieldFile},
                                                   {"Parameters", kStrFieldParameters},
                                                   {"Headers", kStrFieldHeaders},
                                                   {"Arguments", kStrFieldArguments},
                                                   {"URL", kStrFieldImage},
                                                   {"ThumbnailURL", kStrFieldThumbnail},
                                                   {"ErrorMessage", kStrFieldError}};
    for (const auto& [name, caption] : kFields) {
        auto* text = new QLineEdit(form);
        text->setObjectName(QStringLiteral("tx") + name);
        text->setReadOnly(true);
        text->setToolTip(name);
        auto* label = new QLabel(caption ? Str(caption) : QString::fromLatin1(name), form);
        label->setObjectName(QStringLiteral("lb") + name);
        label->setToolTip(name);
        label->setBuddy(text);
        fields->addRow(label, text);
        fieldTexts_.push_back(text);
    }
    lbKey_ = new QLabel(this);
    txKey_ = new QLineEdit(this);
    txKey_->setObjectName("txKey");
    // A key stored once is not shown to whoever looks over the user's shoulder.
    txKey_->setEchoMode(QLineEdit::PasswordEchoOnEdit);
    cmSaveKey_ = Named(new QPushButton(Str(kStrSaveKey), this), "cmSaveKey");
    cmRemoveKey_ = Named(new QPushButton(Str(kStrRemoveKey), this), "cmRemoveKey");
    lbKeyState_ = Named(new QLabel(this), "lbKeyState");
    auto* keyRow = new QHBoxLayout;
    keyRow->addWidget(lbKey_);
    keyRow->addWidget(txKey_, 1);
    keyRow->addWidget(cmSaveKey_);
    keyRow->addWidget(cmRemoveKey_);

    auto* cmImport = Named(new QPushButton(Str(kStrImport), this), "cmImport");
    cmExport_ = Named(new QPushButton(Str(kStrExport), this), "cmExport");
    ckWithKeys_ = new QCheckBox(Str(kStrWithKeys), this);
    ckWithKeys_->setObjectName("ckWithKeys");
    cmDelete_ = Named(new QPushButton(Str(kStrDelete), this), "cmDelete");
    cmDuplicate_ = Named(new QPushButton(Str(kStrDuplicate), this), "cmDuplicate");
    cmTest_ = Named(new QPushButton(Str(kStrTest), this), "cmTest");
    auto* buttons = new QHBoxLayout;
    for (QWidget* w :
         std::initializer_list<QWidget*>{cmImport, cmExport_, ckWithKeys_, cmDuplicate_, cmDelete_})
        buttons->addWidget(w);
    buttons->addStretch(1);
    buttons->addWidget(cmTest_);

    txResult_ = new QPlainTextEdit(this);
    txResult_->setObjectName("txResult");
    txResult_->setReadOnly(true);
    txResult_->setLineWrapMode(QPlainTextEdit::WidgetWidth);

    auto* lbFallback = Named(new QLabel(Str(kStrFallbackCaption), this), "lbFallback");
    cbFallback_ = Named(new QComboBox(this), "cbFallback");
    lbFallback->setBuddy(cbFallback_);
    lbFallbackState_ = Named(new QLabel(this), "lbFallbackState");
    auto* fallbackRow = new QHBoxLayout;
    fallbackRow->addWidget(lbFallback);
    fallbackRow->addWidget(cbFallback_, 1);

    auto* right = new QVBoxLayout;
    right->addWidget(form);
    right->addLayout(keyRow);
    right->addWidget(lbKeyState_);
    right->addStretch(1);
    right->addLayout(fallbackRow);
    right->addWidget(lbFallbackState_);
    auto* top = new QHBoxLayout;
    top->addWidget(lvHosters_, 1);
    top->addLayout(right, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addLayout(buttons);
    // The test report runs long (request head, answer, fields), so it gets the full width.
    layout->addWidget(txResult_, 1);

    connect(lvHosters_, &QTreeWidget::currentItemChanged, this, &HostersWindow::ShowRow);
    connect(cmImport, &QPushButton::clicked, this, &HostersWindow::Import);
    connect(cmExport_, &QPushButton::clicked, this, &HostersWindow::Export);
    connect(cmDelete_, &QPushButton::clicked, this, &HostersWindow::Delete);
    connect(cmDuplicate_, &QPushButton::clicked, this, &HostersWindow::Duplicate);
    connect(cmSaveKey_, &QPushButton::clicked, this, &HostersWindow::SaveKey);
    connect(txKey_, &QLineEdit::returnPressed, this, &HostersWindow::SaveKey);
    connect(cmRemoveKey_, &QPushButton::clicked, this, &HostersWindow::RemoveKey);
    connect(cmTest_, &QPushButton::clicked, this, &HostersWindow::Test);
    connect(cbFallback_, &QComboBox::activated, this, &HostersWindow::ChooseFallback);
    Reload({});
}

void HostersWindow::done(int result) {
    abort_ = true;
    QDialog::done(result);
}

QString HostersWindow::Str(int entry) const {
    return ToQ(strings_.Get(entry));
}

void HostersWindow::Reload(const std::string& selectId) {
    table_ = LoadHosterRows(env_.settingsFolder, env_.dataFolder);
    const QSignalBlocker block(lvHosters_);
    lvHosters_->clear();
    for (int row = 1; row <= table_.Count(); ++row) {
        const HosterDef& h = table_.Row(row);
        lvHosters_->addTopLevelItem(new QTreeWidgetItem(
            {QString::number(row), ToQ(h.Id), OriginText(strings_, h.Origin), ToQ(h.Name)}));
    }
    const int chosen = std::max(FindHosterRow(table_, selectId), 1);
    lvHosters_->setCurrentItem(lvHosters_->topLevelItem(chosen - 1));
    ShowRow();
    FillFallbacks();
}

void HostersWindow::FillFallbacks() {
    const QSignalBlocker block(cbFallback_);
    cbFallback_->clear();
    cbFallback_->addItem(Str(kStrNoFallback), QString());
    for (int row = 1; row <= table_.Count(); ++row) {
        const HosterDef& h = table_.Row(row);
        // Only a row the run can send beside the others stands in.
        if (h.Request == RequestKind::kStandard && !h.Id.empty())
            cbFallback_->addItem(ToQ(h.Name + " (" + h.Id + ")"), ToQ(h.Id));
    }
    const std::string stored = ReadTextSetting(env_.settingsFile, keys::Ersatz);
    cbFallback_->setCurrentIndex(std::max(cbFallback_->findData(ToQ(stored)), 0));
}

void HostersWindow::ChooseFallback(int index) {
    const std::string id = FromQ(cbFallback_->itemData(index).toString());
    if (!id.empty()) {
        const Outcome<int> fallback = FallbackRow(table_, id, FindHosterRow(table_, env_.chosenId));
        if (!fallback) {
            lbFallbackState_->setText(ToQ(ReasonText(fallback.Why(), strings_)));
            FillFallbacks();
            return;
        }
    }
    WriteSetting(env_.settingsFile, keys::Ersatz, id);
    lbFallbackState_->setText(Str(kStrFallbackSaved).replace("%1", cbFallback_->itemText(index)));
}

const HosterDef& HostersWindow::Selected() const {
    return table_.Row(lvHosters_->indexOfTopLevelItem(lvHosters_->currentItem()) + 1);
}

void HostersWindow::ShowRow() {
    const HosterDef& row = Selected();
    // What an export without keys would hold, so the form never shows a key.
    const SxcuUploader u = ReadSxcu(ShareDefinition(row, Secrets::kOmit).text).uploader;
    const std::string values[] = {row.Name,
                                  u.requestMethod,
                                  u.requestUrl,
                                  u.body == SxcuBody::kBinary ? "Binary" : "MultipartFormData",
                                  u.fileFormName,
                                  JoinNamed(u.parameters),
                                  JoinNamed(u.headers),
                                  JoinNamed(u.arguments),
                                  u.url,
                                  u.thumbnailUrl,
                                  u.errorMessage};
    for (size_t i = 0; i < fieldTexts_.size() && i < std::size(values); ++i) {
        fieldTexts_[i]->setText(ToQ(values[i]));
        fieldTexts_[i]->setCursorPosition(0);
    }

    // The key of an own definition or a preset can be given, changed and taken out again.
    const KeyField key = FindKeyField(row);
    const bool keyable = !key.name.empty() &&
                         (row.Origin == RowOrigin::kDefinition || row.Origin == RowOrigin::kPreset);
    const QString caption = Str(kStrKeyCaption) + " " + ToQ(key.name);
    lbKey_->setText(keyable ? caption + ":" : QString());
    txKey_->setText(keyable ? ToQ(key.key) : QString());
    txKey_->setPlaceholderText(
        key.scheme.empty() ? caption : Str(kStrKeyScheme).replace("%1", ToQ(key.scheme).trimmed()));
    for (QWidget* w : std::initializer_list<QWidget*>{lbKey_, txKey_, cmSaveKey_, cmRemoveKey_})
        w->setVisible(keyable);
    cmRemoveKey_->setEnabled(!key.key.empty());
    lbKeyState_->clear();
    const bool own = row.Origin == RowOrigin::kDefinition;
    cmDelete_->setEnabled(own && !testing_);
    cmDuplicate_->setEnabled(own && !testing_);
    cmExport_->setEnabled(!row.Id.empty());
    cmTest_->setEnabled(!row.Id.empty() && !testing_);
}

void HostersWindow::Changed(const std::string& selectId) {
    Reload(selectId);
    emit HostersChanged();
}

void HostersWindow::Import() {
    FileQuestion question;
    question.title = Str(kStrChooseDefinition);
    question.filter = QStringLiteral("ShareX (*.sxcu)|*.sxcu");
    const QString file = dialogs_.ChooseOpenFile(this, question);
    if (file.isEmpty()) return;
    const DefinitionImport done = ImportDefinition(env_.settingsFolder, FromQ(file), table_);
    if (!done.failure.empty()) {
        dialogs_.Warn(this, windowTitle(),
                      Str(kStrNotImported) + "\n" + file + ": " + ToQ(done.failure));
        return;
    }
    Changed(done.id);
}

void HostersWindow::Export() {
    const HosterDef& row = Selected();
    FileQuestion question;
    question.title = Str(kStrSaveDefinition);
    question.filter = QStringLiteral("ShareX (*.sxcu)|*.sxcu");
    question.suffix = QStringLiteral("sxcu");
    const QString file = dialogs_.ChooseSaveFile(this, question);
    if (file.isEmpty()) return;
    const bool keys = ckWithKeys_->isChecked();
    const std::string path = FromQ(file);
    const std::string text = ShareDefinition(row, keys ? Secrets::kKeep : Secrets::kOmit).text;
    if (const std::string problem = WriteFileAtomically(path, text, Flush::kYes, true);
        !problem.empty())
        dialogs_.Warn(this, windowTitle(), file + ": " + ToQ(problem));
}

void HostersWindow::Delete() {
    const std::string id = Selected().Id;
    if (!dialogs_.AskYesNo(this, windowTitle(), Str(kStrDelete) + " " + ToQ(id) + " ?")) return;
    if (const std::string problem = DeleteDefinition(env_.settingsFolder, Selected());
        !problem.empty()) {
        dialogs_.Warn(this, windowTitle(), ToQ(id) + ": " + ToQ(problem));
        return;
    }
    Changed({});
}

void HostersWindow::Duplicate() {
    // The import of the own file under its own ID takes the next free "-2", "-3", ...
    const std::string file =
        env_.settingsFolder + "/" + kDefinitionFolder + "/" + Selected().Id + ".sxcu";
    const DefinitionImport done = ImportDefinition(env_.settingsFolder, file, table_);
    if (!done.failure.empty()) {
        dialogs_.Warn(this, windowTitle(), ToQ(Selected().Id) + ": " + ToQ(done.failure));
        return;
    }
    Changed(done.id);
}

void HostersWindow::SaveKey() {
    if (cmSaveKey_->isHidden()) return;
    QString key = txKey_->text().trimmed();
    // What a host's page shows is often the whole header value; the scheme is Lumar's to add.
    const QString scheme = ToQ(FindKeyField(Selected()).scheme).trimmed();
    if (!scheme.isEmpty() && key.startsWith(scheme + ' ', Qt::CaseInsensitive))
        key = key.mid(scheme.size() + 1).trimmed();
    if (!key.isEmpty()) StoreKey(FromQ(key));
}

void HostersWindow::RemoveKey() {
    if (!FindKeyField(Selected()).key.empty()) StoreKey({});
}

void HostersWindow::StoreKey(const std::string& key) {
    const HosterDef& row = Selected();
    // A preset's copy under the preset's ID becomes an own definition that replaces it.
    const HosterDef keyed = WithKey(row, FindKeyField(row).name, key);
    const std::string id = row.Id;
    if (const std::string problem = SaveDefinition(
            env_.settingsFolder, id, WriteSxcu(SxcuFromHoster(keyed), Secrets::kKeep));
        !problem.empty()) {
        dialogs_.Warn(this, windowTitle(), ToQ(id) + ": " + ToQ(problem));
        return;
    }
    Changed(id);
    lbKeyState_->setText(Str(key.empty() ? kStrKeyRemoved : kStrKeySaved).replace("%1", ToQ(id)));
}

void HostersWindow::Test() {
    const HosterDef row = Selected();
    testing_ = true;
    ShowRow();
    txResult_->setPlainText(Str(kStrTesting));
    StandardUploadOptions options = env_.upload;
    options.control.abortFlag = &abort_;
    // Without an image chosen in the list the probe sends a small one of its own. On the
    // window's own loop; a window that goes first takes the probe with it.
    DriveTask<ProbeTask>(
        std::make_unique<ProbeTask>(row, env_.sampleImage, std::move(options)),
        [this](ProbeTask& probe) {
            testing_ = false;
            ShowRow();
            ShowTestResult(probe.Result());
        },
        this);
}

void HostersWindow::ShowTestResult(const ProbeResult& result) {
    txResult_->setPlainText(ToQ(ProbeReportText(result)));
}

QStringList ImportDroppedDefinitions(const QStringList& paths, const std::string& settingsFolder,
                                     const HosterTable& table, const UiStrings& strings,
                                     Dialogs& dialogs, QWidget* owner, bool* imported) {
    QStringList rest;
    QStringList refused;
    HosterTable taken = table;
    *imported = false;
    for (const QString& path : paths) {
        if (!path.endsWith(QStringLiteral(".sxcu"), Qt::CaseInsensitive) ||
            QFileInfo(path).isDir()) {
            rest << path;
            continue;
        }
        const DefinitionImport done = ImportDefinition(settingsFolder, FromQ(path), taken);
        if (!done.failure.empty()) {
            refused << path + ": " + ToQ(done.failure);
            continue;
        }
        *imported = true;
        // Later files of the same name must not take this one's ID.
        HosterDef row;
        row.Id = done.id;
        row.Origin = RowOrigin::kDefinition;
        taken.Hosters.push_back(std::move(row));
    }
    if (!refused.isEmpty())
        dialogs.Warn(owner, ToQ(strings.Get(kStrHostersTitle)),
                     ToQ(strings.Get(kStrNotImported)) + "\n" + refused.join('\n'));
    return rest;
}

bool ShowHostersWindow(QWidget* owner, HostersWindowEnv env, const UiStrings& strings,
                       Dialogs& dialogs) {
    HostersWindow window(std::move(env), strings, dialogs, owner);
    bool changed = false;
    QObject::connect(&window, &HostersWindow::HostersChanged, [&changed] { changed = true; });
    window.exec();
    return changed;
}

}  // namespace lumar::ui
