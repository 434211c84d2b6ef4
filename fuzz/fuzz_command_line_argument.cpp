// A command-line argument turned into a file location: any bytes a file manager may pass.
#include "playback/local_file.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    const QByteArray argument(reinterpret_cast<const char *>(data), qsizetype(size));
    const QUrl file = local_file::fromArgument(argument, "/work dir");
    if (file.isEmpty())
        return 0;
    const QByteArray path = local_file::path(file);
    if (!path.startsWith('/'))
        std::abort();
    // A plain name reaches the file system byte for byte.
    if (!argument.startsWith("file://") && !argument.contains('\0')) {
        QByteArray expected = argument.startsWith('/') ? argument : "/work dir/" + argument;
        while (expected.startsWith("//"))
            expected.remove(0, 1);
        if (path != expected)
            std::abort();
    }
    // The location survives its own text form.
    if (local_file::path(QUrl::fromEncoded(file.toEncoded(), QUrl::StrictMode)) != path)
        std::abort();
    return 0;
}
