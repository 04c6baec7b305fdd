#pragma once
// How the image list shows two of its texts without changing them: the kB column with its
// zero before the decimal separator ("0,3" where the list keeps ".3"), and a break row by
// its meaning ("— Zeilenumbruch —") rather than by the marker every part of the program
// recognises it by. Sorting, the posting and the rows themselves keep the list's texts. The
// rows keep their bands (StripeListBackground).
#include "imagelist/image_list.h"
#include "shell/language_table.h"
#include "shell/ui/desktop_services.h"

namespace lumar::ui {

class ImageListDelegate : public StripedRowDelegate {
    Q_OBJECT
  public:
    // `strings` (may be null: German) is read at every paint, so texts loaded later count.
    ImageListDelegate(const ImageList& list, const UiStrings* strings, QObject* parent = nullptr);

    // The text a cell shows.
    [[nodiscard]] QString ShownText(const QModelIndex& index) const;

  protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override;

  private:
    const ImageList& list_;
    const UiStrings* strings_;
};

}  // namespace lumar::ui
