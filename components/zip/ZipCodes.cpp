#include "ZipCodes.h"

namespace kalmora {

std::string ZipMethodName(TZipMethod method) {
    switch (method) {
    case TZipMethod::Stored:
        return "stored";
    case TZipMethod::Shrunk:
        return "shrunk";
    case TZipMethod::Reduced1:
        return "reduced with compression factor 1";
    case TZipMethod::Reduced2:
        return "reduced with compression factor 2";
    case TZipMethod::Reduced3:
        return "reduced with compression factor 3";
    case TZipMethod::Reduced4:
        return "reduced with compression factor 4";
    case TZipMethod::Imploded:
        return "imploded";
    case TZipMethod::Tokenized:
        return "tokenized";
    case TZipMethod::Deflated:
        return "deflated";
    case TZipMethod::Deflate64:
        return "Deflate64";
    case TZipMethod::DclImploded:
        return "PKWARE DCL imploded";
    case TZipMethod::Bzip2:
        return "BZIP2";
    case TZipMethod::Lzma:
        return "LZMA";
    case TZipMethod::Cmpsc:
        return "IBM z/OS CMPSC";
    case TZipMethod::Terse:
        return "IBM TERSE";
    case TZipMethod::Lz77z:
        return "IBM LZ77 z";
    case TZipMethod::ZstdDeprecated:
    case TZipMethod::Zstd:
        return "Zstandard";
    case TZipMethod::Mp3:
        return "MP3";
    case TZipMethod::Xz:
        return "XZ";
    case TZipMethod::Jpeg:
        return "JPEG";
    case TZipMethod::WavPack:
        return "WavPack";
    case TZipMethod::Ppmd:
        return "PPMd";
    case TZipMethod::Aes:
        return "AES encrypted";
    }
    return "method " + std::to_string(static_cast<unsigned>(method));
}

} // namespace kalmora
