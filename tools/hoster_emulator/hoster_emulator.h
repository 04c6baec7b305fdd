#pragma once
// A stand-in for the image hosters on 127.0.0.1, for tests, benchmarks and the demo: a real
// TCP server on its own thread that takes Lumar's multipart uploads, records them, answers in
// the style of each of the seven hosters (an HTML page whose markers yield a known code) and
// serves the images it received. On demand it misbehaves the ways real hosts do.
//
// One connection is served at a time. Every loop is bounded in count and in time, so a test
// that goes wrong ends instead of hanging.
#include <atomic>
#include <chrono>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace lumar::tools {

// The answer styles, in the order of the built-in hoster rows 1 to 7 (row 2 answers like 1).
enum class HosterStyle {
    ImageVenue,
    ImageShack,
    DumpAnImage,
    KeepMyFile,
    PaintedOver,
    SUpload,
    Unknown
};

enum class Misbehaviour {
    None,
    SmallPieces,          // the answer in 5-byte pieces, header split across them
    NoHeader,             // the page without an HTTP header
    NeverClose,           // the answer, then the connection stays open
    NeverCloseSilent,     // no answer, the connection stays open
    CloseWithoutAnswer,   // reads the request, closes
    Reset,                // reads the request, resets the connection
    ResetWhileReceiving,  // resets after the request header, before the body is read
    SlowDrip,             // the answer in 64-byte pieces, 20 ms apart
    OverCap,              // the answer followed by 17 MiB of filler, then closes
    SlowRead,             // reads the request in small slices, so the sender must wait
    NoMarkers,            // a page without any code
    Raw,                  // the bytes given with SetRawAnswer, in the given pieces
};

struct FormPart {
    std::string name;
    std::string fileName;     // empty for a plain field
    std::string contentType;  // empty for a plain field
    std::string content;
};

struct ReceivedUpload {
    int id = 0;               // 1, 2, ... in arrival order
    std::string requestLine;  // "POST /upload.php HTTP/1.0"
    std::string header;       // the request header, status line included, without the empty line
    std::string body;         // the body as received (Content-Length bytes); empty beyond 1 MiB
    std::vector<FormPart> parts;
    HosterStyle style = HosterStyle::Unknown;
    std::string fileName;   // of the file part, as sent
    std::string fileBytes;  // its content; the oldest are dropped beyond 64 MiB in all
    std::string code;       // the code a client should cut out of the answer
};

class HosterEmulator {
  public:
    // Listens on 127.0.0.1 at `port` (0 = an ephemeral port) and serves for at most
    // `lifetime`.
    explicit HosterEmulator(std::uint16_t port = 0,
                            std::chrono::seconds lifetime = std::chrono::minutes(30));
    ~HosterEmulator();
    HosterEmulator(const HosterEmulator&) = delete;
    HosterEmulator& operator=(const HosterEmulator&) = delete;

    std::uint16_t Port() const { return port_; }
    bool Listening() const { return listenFd_ >= 0; }

    // Applies to connections accepted from now on.
    void SetMisbehaviour(Misbehaviour mode);
    // The answer of Misbehaviour::Raw: `bytes` sent in pieces of the given sizes (the rest in
    // one piece), 10 ms apart, then the connection is closed.
    void SetRawAnswer(std::string bytes, std::vector<std::size_t> pieces);
    // How long a connection that never closes is held at most (default 60 s).
    void SetHoldLimit(std::chrono::milliseconds limit);

    std::vector<ReceivedUpload> Uploads() const;
    int ConnectionCount() const { return connections_.load(); }

    // Stops serving and closes every socket; called by the destructor.
    void Stop();

    // hosters.ini text pointing rows 1 to 7 at this emulator.
    std::string HostersIni() const;

    // The style of an upload by the name of its file part ("userfile[]" -> ImageVenue, ...).
    static HosterStyle StyleForFileField(const std::string& fileField);
    // The page of a style for a code, and the code the client should extract from it.
    static std::string PageFor(HosterStyle style, const std::string& rawCode);

  private:
    void Serve();
    void HandleConnection(int fd);

    int listenFd_ = -1;
    std::uint16_t port_ = 0;
    std::atomic<bool> stop_{false};
    std::atomic<int> connections_{0};
    std::chrono::seconds lifetime_;
    std::thread thread_;

    mutable std::mutex mutex_;
    Misbehaviour mode_ = Misbehaviour::None;
    std::string rawAnswer_;
    std::vector<std::size_t> rawPieces_;
    std::chrono::milliseconds holdLimit_{60000};
    std::vector<ReceivedUpload> uploads_;
    std::size_t keptFileBytes_ = 0;
    std::size_t forgotten_ = 0;  // uploads_[0 .. forgotten_) no longer hold their file
};

// Splits a multipart body at its boundary; lenient about the disposition ("form-data" or
// "attachment") and about the closing delimiter.
std::vector<FormPart> ParseMultipart(const std::string& body, const std::string& boundary);

}  // namespace lumar::tools
