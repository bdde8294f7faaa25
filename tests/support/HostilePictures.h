#pragma once

#include <QByteArray>
#include <QString>

// Pictures made to cost a decoder gigabytes or minutes, for the tests and the
// fuzz seeds. Small files; nothing here decodes them.
namespace HostilePictures {

// The bytes in gzip framing.
QByteArray gzipped(const QByteArray& bytes);

// A compressed vector picture (a 100 by 100 square) that unpacks to about
// unpackedBytes, nearly all of them a comment.
QByteArray vectorBomb(qint64 unpackedBytes);

// A progressive grey JPEG of width by height pixels in scans scans, each
// coding every block as one run of empty blocks: a few bytes a scan, each a
// pass over the decoder's buffer of every coefficient.
QByteArray manyScanJpeg(int width, int height, int scans);

// A grey PNG whose header states width by height pixels, with data for its
// first rows only: a decoder that believes the header makes the whole
// picture before it reads them.
QByteArray largePng(int width, int height);

// A 100 by 100 vector picture drawing the picture at href (a path or a data
// address) over a red square.
QByteArray vectorReferringTo(const QByteArray& href);

} // namespace HostilePictures
