// Fields and files from arbitrary bytes: the Content-Length always equals the body that
// follows the header, the file bytes appear unchanged in the request, and the request sent
// in pieces around the file is the same bytes.
#include <functional>

#include "fuzz_check.h"
#include "upload/http_request.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // Items separated by NUL: name, value, name, value, ...; the last item is a file.
    const std::vector<std::string> items = Fields(Text(data, size), '\0');
    lumar::CHTTPRequest r;
    r.Host("h");
    r.Path("/p");
    for (size_t i = 0; i + 2 < items.size(); i += 2) (void)r.AddFormData(items[i], items[i + 1]);
    const std::string& content = items.back();
    const bool withFile = size % 2 == 0;
    if (withFile) Check(r.AddFile("file", "/x/a.jpg", content, lumar::GetMimeType("/x/a.jpg")));

    const std::string request = r.GetPOSTQuery();
    Check(request == r.GetPOSTQuery());
    const size_t headerEnd = request.find("\r\n\r\n");
    Check(headerEnd != std::string::npos);
    const std::string lengthKey = "Content-Length: ";
    const size_t lengthAt = request.find(lengthKey);
    Check(lengthAt != std::string::npos && lengthAt < headerEnd);
    const size_t length = std::strtoull(request.c_str() + lengthAt + lengthKey.size(), nullptr, 10);
    Check(length == request.size() - headerEnd - 4);
    Check(length == r.BodySize());
    // The boundary is the fixed one unless a part holds it; a part never does.
    const std::string boundaryKey = "boundary=";
    const size_t boundaryAt = request.find(boundaryKey);
    Check(boundaryAt != std::string::npos && boundaryAt < headerEnd);
    const size_t boundaryStart = boundaryAt + boundaryKey.size();
    const std::string boundary =
        request.substr(boundaryStart, request.find("\r\n", boundaryStart) - boundaryStart);
    if (withFile) Check(content.find(boundary) == std::string::npos);
    if (withFile)
        Check(request.find("\r\n\r\n" + content + "\r\n--" + boundary + "--\r\n") !=
              std::string::npos);

    // The pieces the upload sends add up to the same bytes, the file content not copied.
    std::string storage;
    std::string joined;
    bool fileReferenced = false;
    for (std::string_view piece : r.GetPOSTQueryPieces(storage)) {
        joined.append(piece);
        const std::less<const char*> before;
        fileReferenced = fileReferenced || before(piece.data(), storage.data()) ||
                         !before(piece.data(), storage.data() + storage.size());
    }
    Check(joined == request);
    if (withFile && !content.empty()) Check(fileReferenced);
    return 0;
}
