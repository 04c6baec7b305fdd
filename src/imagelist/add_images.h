#pragma once
// Turning files and folders into image rows. Files are taken by content (a JPEG start marker,
// or a whole PNG, GIF or WebP header); a folder scan also asks for a picture extension first. Files
// that fail are skipped without a message.
#include <functional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "imagelist/image_entry.h"
#include "imagelist/image_info.h"
#include "imagelist/image_list.h"
#include "shell/event_pump.h"

namespace lumar {

struct FoundFile {
    std::string folder;    // ends in the separator
    std::string name;      // without folder
    bool regular = false;  // the listing saw a regular file (also through a link)
};

// What a scan had to leave out, so the user learns that images may be missing.
struct ScanProblem {
    enum class Kind {
        kFolderUnreadable,  // the folder could not be listed; `error` says why
        kPathTooLong,       // the path is too long to be opened (PATH_MAX)
    };
    Kind kind = Kind::kFolderUnreadable;
    std::string path;
    int error = 0;  // errno
};
using ReportScanProblem = std::function<void(const ScanProblem&)>;

// The files under `folder` (one trailing separator is ignored): the files of a folder first,
// then its subfolders one by one, depth first when `recursive`. Names within a folder are in
// byte order. "." and ".." are skipped, hidden entries are taken. A folder already listed whole
// by another path is not listed again, and a link back to a folder's own ancestor is not
// followed. A file is listed under every path the listing reaches it by (hard links, links to
// files): a caller that takes each file once goes by the FileKey its reading of the file gives,
// as AddImageFolder does. The kind of an entry comes from the listing itself; only links and
// entries of unknown kind are looked at. A folder that cannot be listed and a file whose path
// is too long to be opened are left out and passed to `report`. `pump` is called before the
// listing and after every entry.
std::vector<FoundFile> FindFiles(const std::string& folder, bool recursive,
                                 const PumpEvents& pump = {}, const ReportScanProblem& report = {});

// The scan's name rule: the text after the last "." is JPG, JPEG, JFIF, JPE, PNG, GIF or WEBP
// in any case.
bool HasImageExtension(std::string_view name);

// The files one adding action (one drop, one scan, one dialog choice) has turned into rows, by
// the FileKey of the reading, so a file reached twice in it (dropped together with its folder,
// or by a second path) gives one row. A new action starts empty: adding the same file again
// later still gives another row.
class AddingAction {
  public:
    // False when this action already took the file at `path`. A file that cannot be looked at
    // counts as new; reading it then fails anyway.
    [[nodiscard]] bool IsNew(const std::string& path) const;
    // Takes a file for a row; false when this action has taken it already.
    bool Take(const FileKey& file) { return taken_.insert(file).second; }

  private:
    std::set<FileKey> taken_;
};

struct AddOptions {
    PumpEvents pump;           // keeps the window alive during folder scans
    ReportScanProblem report;  // what folder scans had to leave out
    // The action the rows belong to; without one, each call is an action of its own.
    AddingAction* action = nullptr;
};

// An image row for a file the reader accepted. Rows from folders are shown padded (width and
// height to 4, kB to 6 characters), single files plain.
ImageEntry MakeImageRow(const std::string& folder, const std::string& name, const ImageInfo& info,
                        bool padded);

// One file by its full path, judged by content only. Returns true when a row was appended.
// The same file may be added any number of times, once per action.
bool AddImageFile(ImageList& list, const std::string& path, AddingAction* action = nullptr);

// The picture files under a folder (given with or without trailing separator), with or without
// subfolders, appended in scan order with padded fields. Returns the number of rows appended.
int AddImageFolder(ImageList& list, const std::string& folder, bool recursive,
                   const AddOptions& options = {});

// Dropped paths in their order: an existing folder with all its subfolders, anything else as a
// single file. Returns the number of rows appended.
int AddDroppedPaths(ImageList& list, const std::vector<std::string>& paths,
                    const AddOptions& options = {});

// The folder the add dialogs open in (Verzeichnis/LastAddDir, home folder by default), and
// storing it after a successful add.
std::string ReadLastAddDir(const std::string& settingsFile);
bool StoreLastAddDir(const std::string& settingsFile, const std::string& folder);

}  // namespace lumar
