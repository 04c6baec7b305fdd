#include "imagelist/ui/image_list_delegate.h"

#include "shell/ui/qt_text.h"

namespace lumar::ui {

ImageListDelegate::ImageListDelegate(const ImageList& list, const UiStrings* strings,
                                     QObject* parent)
    : StripedRowDelegate(ListStripeColor(), parent), list_(list), strings_(strings) {}

QString ImageListDelegate::ShownText(const QModelIndex& index) const {
    QStyleOptionViewItem option;
    initStyleOption(&option, index);
    return option.text;
}

void ImageListDelegate::initStyleOption(QStyleOptionViewItem* option,
                                        const QModelIndex& index) const {
    StripedRowDelegate::initStyleOption(option, index);
    const int position = index.row() + 1;
    if (position > list_.Count()) return;  // gone before the model's next reset
    const ImageEntry& row = list_.Row(position);
    if (index.column() == kColumnText && row.IsMarker() && row.text == kBreakRowText) {
        static const std::string german = LookupString("", kStrBreakRow);
        const std::string& text = strings_ ? strings_->Get(kStrBreakRow) : german;
        option->text = ToQ(text.empty() ? german : text);
    } else if (index.column() == kColumnKb) {
        // Padding blanks stay, so padded rows keep lining up.
        qsizetype first = 0;
        while (first < option->text.size() && option->text.at(first) == ' ') ++first;
        if (first < option->text.size() && !option->text.at(first).isDigit())
            option->text.insert(first, '0');
    }
}

}  // namespace lumar::ui
