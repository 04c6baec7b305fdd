#include "support/jpeg_maker.h"

#include <fcntl.h>
#include <unistd.h>

#include <climits>
#include <filesystem>
#include <fstream>
#include <stdexcept>

namespace lumar::test {

namespace {

void PutWord(std::string& out, std::size_t value) {
    out.push_back(static_cast<char>((value >> 8) & 0xFF));
    out.push_back(static_cast<char>(value & 0xFF));
}

void PutSegment(std::string& out, unsigned char marker, const std::string& body) {
    out.push_back(static_cast<char>(0xFF));
    out.push_back(static_cast<char>(marker));
    PutWord(out, body.size() + 2);
    out += body;
}

// A Huffman table holding one code of length 1 for the single value `symbol`.
std::string HuffmanTable(unsigned char tableClassAndId, unsigned char symbol) {
    std::string body;
    body.push_back(static_cast<char>(tableClassAndId));
    body.push_back(1);
    body.append(15, '\0');
    body.push_back(static_cast<char>(symbol));
    return body;
}

// `bitsPerBlock` zero bits per block, the last byte padded with one bits.
std::string EntropyData(std::size_t blocks, std::size_t bitsPerBlock) {
    const std::size_t bits = blocks * bitsPerBlock;
    std::string data(bits / 8, '\0');
    if (const std::size_t rest = bits % 8; rest != 0)
        data.push_back(static_cast<char>(0xFF >> rest));
    return data;
}

}  // namespace

std::string MakePngHead(std::uint32_t width, std::uint32_t height) {
    std::string out("\x89PNG\r\n\x1A\n\0\0\0\x0DIHDR", 16);
    for (const std::uint32_t value : {width, height})
        for (int shift = 24; shift >= 0; shift -= 8) out += static_cast<char>(value >> shift);
    return out + std::string("\x08\x02\0\0\0\0\0\0\0", 9);  // 8-bit RGB, then the CRC
}

std::string MakeJpeg(int width, int height, const JpegOptions& options) {
    std::string out = "\xFF\xD8";
    PutSegment(out, 0xE0, std::string("JFIF\0\x01\x01\0\0\x01\0\x01\0\0", 14));
    if (options.app1Bytes > 0) {
        std::string body = std::string("Exif\0\0", 6).substr(0, options.app1Bytes);
        body.resize(options.app1Bytes, 'x');
        PutSegment(out, 0xE1, body);
    }
    std::string quant(1, '\0');
    quant.append(64, '\x01');
    PutSegment(out, 0xDB, quant);

    std::string frame;
    frame.push_back(8);  // sample precision
    PutWord(frame, static_cast<std::size_t>(height));
    PutWord(frame, static_cast<std::size_t>(width));
    frame += std::string("\x01\x01\x11\x00", 4);  // one component, id 1, 1x1, table 0
    const bool progressive = options.frame == JpegFrame::Progressive;
    PutSegment(out, progressive ? 0xC2 : 0xC0, frame);

    PutSegment(out, 0xC4, HuffmanTable(0x00, 0x00));                    // DC: difference category 0
    if (!progressive) PutSegment(out, 0xC4, HuffmanTable(0x10, 0x00));  // AC: end of block

    const std::size_t blocks =
        static_cast<std::size_t>((width + 7) / 8) * static_cast<std::size_t>((height + 7) / 8);
    // Baseline scans code every coefficient; the progressive file carries only the first DC
    // scan, which decoders accept as a (flat) picture.
    std::string scan = progressive ? std::string("\x01\x01\x00\x00\x00\x00", 6)
                                   : std::string("\x01\x01\x00\x00\x3F\x00", 6);
    PutSegment(out, 0xDA, scan);
    out += EntropyData(blocks, progressive ? 1 : 2);
    out += "\xFF\xD9";
    return out;
}

std::size_t WriteJpeg(const std::string& path, int width, int height, const JpegOptions& options) {
    const std::string bytes = MakeJpeg(width, height, options);
    const std::filesystem::path p(path);
    if (p.has_parent_path()) std::filesystem::create_directories(p.parent_path());
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out) throw std::runtime_error("WriteJpeg: cannot write " + path);
    return bytes.size();
}

std::string WriteTooDeepJpeg(const std::string& folder) {
    std::string path = folder;
    while (path.size() + 101 < PATH_MAX - 100) path += "/" + std::string(100, 'd');
    std::filesystem::create_directories(path);
    const std::string name =
        std::string(PATH_MAX - path.size() - 4, 'f') + ".jpg";  // one past the limit
    const int dir = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    const int fd =
        dir < 0 ? -1 : ::openat(dir, name.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    const std::string bytes = MakeJpeg(4, 4);
    const bool written =
        fd >= 0 && ::write(fd, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size());
    if (fd >= 0) ::close(fd);
    if (dir >= 0) ::close(dir);
    if (!written) throw std::runtime_error("WriteTooDeepJpeg: cannot write under " + path);
    return path + "/" + name;
}

}  // namespace lumar::test
