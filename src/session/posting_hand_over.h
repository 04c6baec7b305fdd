#pragma once
// The end of an upload run handed to the posting builder: an UploadObserver whose posting
// steps run CollectPosting and FinishPosting on a PostingState the caller keeps. Front ends
// derive from it and add what they show.
//
// Header-only on purpose: the calls into the posting builder are compiled into the front
// end, which links both libraries, so the upload library itself does not depend on posting.
#include <span>

#include "posting/posting_builder.h"
#include "upload/upload_run.h"

namespace lumar {

class PostingHandOver : public UploadObserver {
  public:
    PostingHandOver(PostingState& state, const TextBlocks& blocks, PostingOptions options,
                    PostingTexts texts)
        : state_(state), blocks_(blocks), options_(options), texts_(std::move(texts)) {}

    void CollectPosting(std::span<ImageEntry> rows) override {
        lumar::CollectPosting(state_, rows, blocks_);
    }
    void FinishPosting(std::span<const ImageEntry> rows) override {
        view_ = lumar::FinishPosting(state_, rows, blocks_, options_, texts_);
    }

    // What FinishPosting put into the code panel.
    [[nodiscard]] const PostingView& View() const { return view_; }
    [[nodiscard]] const PostingOptions& Options() const { return options_; }
    [[nodiscard]] const PostingTexts& Texts() const { return texts_; }

  private:
    PostingState& state_;
    const TextBlocks& blocks_;
    PostingOptions options_;
    PostingTexts texts_;
    PostingView view_;
};

}  // namespace lumar
