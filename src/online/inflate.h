#pragma once

#include <QByteArray>
#include <QByteArrayView>

namespace zentaro::online {

// A reply body unpacked as its Content-Encoding says.
struct Unpacked {
    enum class Status {
        Ok,
        TooLarge, // unpacked, it would be longer than the limit
        Damaged,  // not a valid stream of its kind
        Unknown,  // an encoding this client does not offer
    };
    Status status = Status::Ok;
    QByteArray data;
};

// encoding: the header's value; empty or "identity" leave the body as it is,
// "gzip" (or "x-gzip") and "deflate" (zlib-wrapped, or bare as some servers
// send it) are unpacked. Unpacking stops as soon as the output passes limit,
// so that a small body cannot expand into the memory.
Unpacked UnpackBody(QByteArrayView body, QByteArrayView encoding, qsizetype limit);

} // namespace zentaro::online
