#include "shell/ui/file_dialog.h"

#include <QCoreApplication>
#include <QFileDialog>
#include <QFileInfo>

#include "shell/multi_file_name.h"
#include "shell/ui/qt_text.h"

namespace lumar::ui {

std::vector<std::pair<std::string, std::string>> SplitFilter(std::string_view filter) {
    std::vector<std::string> parts;
    std::string part;
    for (char c : filter) {
        if (c == '|' || c == ':') {
            parts.push_back(std::move(part));
            part.clear();
        } else {
            part += c;
        }
    }
    if (!filter.empty()) parts.push_back(std::move(part));
    std::vector<std::pair<std::string, std::string>> pairs;
    for (std::size_t i = 0; i + 1 < parts.size(); i += 2)
        pairs.emplace_back(parts[i], parts[i + 1]);
    return pairs;
}

QStringList QtNameFilters(std::string_view filter) {
    QStringList out;
    for (const auto& [display, pattern] : SplitFilter(filter)) {
        QString patterns = ToQ(pattern);
        patterns.replace(QLatin1Char(';'), QLatin1Char(' '));
        // Qt reads the patterns from the last parentheses; HideNameFilterDetails shows the
        // display text alone.
        out << ToQ(display) + QStringLiteral(" (") + patterns.simplified() + QLatin1Char(')');
    }
    return out;
}

void QtFileDialogBackend::Configure(QFileDialog& dialog, const FileDialogRequest& request) {
    dialog.setOption(QFileDialog::HideNameFilterDetails, true);
    if (!request.title.isEmpty()) dialog.setWindowTitle(request.title);
    dialog.setAcceptMode(request.save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    if (request.save)
        dialog.setFileMode(QFileDialog::AnyFile);
    else if (request.multiple)
        dialog.setFileMode(QFileDialog::ExistingFiles);
    else
        dialog.setFileMode(request.mustExist ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
    dialog.setOption(QFileDialog::DontConfirmOverwrite, !request.confirmOverwrite);
    if (!request.initialFolder.isEmpty()) dialog.setDirectory(request.initialFolder);
    if (!request.nameFilters.isEmpty()) {
        dialog.setNameFilters(request.nameFilters);
        const int index =
            request.filterIndex >= 0 && request.filterIndex < request.nameFilters.size()
                ? request.filterIndex
                : 0;
        dialog.selectNameFilter(request.nameFilters.at(index));
    }
    if (!request.defaultSuffix.isEmpty()) dialog.setDefaultSuffix(request.defaultSuffix);
    if (!request.fileName.isEmpty()) dialog.selectFile(request.fileName);
}

FileDialogAnswer QtFileDialogBackend::Answer(const QFileDialog& dialog, bool accepted) {
    FileDialogAnswer answer;
    answer.accepted = accepted && !dialog.selectedFiles().isEmpty();
    if (!answer.accepted) return answer;
    answer.files = dialog.selectedFiles();
    // With the details hidden the dialog reports the display text alone.
    const QString chosen = dialog.selectedNameFilter();
    const QStringList filters = dialog.nameFilters();
    for (qsizetype i = 0; i < filters.size(); ++i) {
        const QString& full = filters.at(i);
        const qsizetype open = full.lastIndexOf(QStringLiteral(" ("));
        if (chosen == full || (open >= 0 && chosen == full.left(open))) {
            answer.filterIndex = static_cast<int>(i);
            break;
        }
    }
    return answer;
}

FileDialogAnswer QtFileDialogBackend::Run(const FileDialogRequest& request) {
    QFileDialog dialog(request.owner);
    Configure(dialog, request);
    const bool accepted = dialog.exec() == QDialog::Accepted;
    return Answer(dialog, accepted);
}

cFileDialog::cFileDialog(std::unique_ptr<FileDialogBackend> backend) {
    SetBackend(std::move(backend));
}

void cFileDialog::SetBackend(std::unique_ptr<FileDialogBackend> backend) {
    backend_ = backend ? std::move(backend) : std::make_unique<QtFileDialogBackend>();
}

FileDialogRequest cFileDialog::Request(bool save) const {
    FileDialogRequest r;
    r.save = save;
    r.title = ToQ(dialogTitle_);
    r.initialFolder = ToQ(initDir_);
    // The offered name stops at its first NUL, as a result of an earlier multi-selection would
    // otherwise be offered whole.
    r.fileName = ToQ(std::string_view(filename_).substr(0, filename_.find('\0')));
    r.nameFilters = QtNameFilters(filter_);
    r.filterIndex = filterIndex_ - 1;
    std::string ext = defaultExt_;
    if (!ext.empty() && ext.front() == '.') ext.erase(0, 1);
    r.defaultSuffix = ToQ(ext);
    r.multiple = !save && (flags_ & kAllowMultiSelect) != 0;
    r.mustExist = (flags_ & kFileMustExist) != 0;
    r.confirmOverwrite = (flags_ & kOverwritePrompt) != 0;
    r.owner = owner_;
    return r;
}

bool cFileDialog::Finish(const FileDialogAnswer& answer, bool multiResult) {
    if (!answer.accepted || answer.files.isEmpty()) {
        if (cancelError_) {
            const std::string program =
                FromQ(QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName());
            throw FileDialogCancelled(program + ".cFileDialog");
        }
        return false;
    }
    if (!multiResult || answer.files.size() == 1) {
        filename_ = FromQ(answer.files.front());
    } else {
        // Several names: the common folder and the names; files from different folders keep
        // their full paths as names below an empty folder.
        const QString folder = QFileInfo(answer.files.front()).absolutePath();
        bool oneFolder = true;
        for (const QString& file : answer.files)
            oneFolder = oneFolder && QFileInfo(file).absolutePath() == folder;
        std::vector<std::string> names;
        for (const QString& file : answer.files)
            names.push_back(FromQ(oneFolder ? QFileInfo(file).fileName() : file));
        filename_ = oneFolder ? BuildMultiFileName(FromQ(folder), names)
                              : BuildMultiFileName(std::string(), names);
    }
    filterIndex_ = answer.filterIndex + 1;
    return true;
}

bool cFileDialog::ShowOpen() {
    const FileDialogRequest request = Request(false);
    return Finish(backend_->Run(request), request.multiple);
}

bool cFileDialog::ShowSave() {
    return Finish(backend_->Run(Request(true)), false);
}

}  // namespace lumar::ui
