#pragma once
// The file dialog question for .vbc files, the same for the posting and the text blocks.
#include <QString>

#include "shell/ui/dialogs.h"

namespace lumar::ui {

inline FileQuestion VbcFileQuestion(const QString& title, const QString& folder) {
    FileQuestion question;
    question.title = title;
    question.folder = folder;
    question.filter = QStringLiteral("VBCode (*.vbc)|*.vbc");
    question.suffix = QStringLiteral("vbc");
    return question;
}

}  // namespace lumar::ui
