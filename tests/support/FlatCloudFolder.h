#pragma once

#include "support/FakeHttpServer.h"

#include <QString>

// One flat folder of a service on the fake server, as a phone's camera uploads
// fill it: files photos with the names, ids, checksums and dates the service
// gives, a thousand to a page, and then folders sub-folders ("Album 0", …) on
// the last page. Every page is made when it is asked for, so a folder of a
// million files takes no more memory on the server's side than one page.
struct FlatCloudFolder {
    int files = 0;
    int folders = 0;
    // Files in each sub-folder, listed as the root's are (Dropbox only; the
    // other services' sub-folders are empty).
    int albumFiles = 0;

    // Names of letters and digits that share no prefix (scatteredName) in
    // place of a camera's.
    bool scatteredNames = false;
    // Every file has one copy: files 2k and 2k + 1 share their checksum.
    bool pairedCopies = false;

    static constexpr int pageSize = 1000;
    int entries() const { return files + folders; }
    int pages() const { return (entries() + pageSize - 1) / pageSize; }

    // The root of Dropbox and its sub-folders: list_folder and
    // list_folder/continue.
    void serveDropbox(FakeHttpServer& server) const;
    // The root of Box ("0"): its items by offset, with their total count.
    void serveBox(FakeHttpServer& server) const;
    // The root of OneDrive under the service address "/graph/".
    void serveOneDrive(FakeHttpServer& server) const;
    // The Drive: files.list by page token, the folder's files and albums
    // for any folder but the albums, which are empty. Thumbnail links are on
    // host, which the service's configuration should list.
    void serveDrive(FakeHttpServer& server, const QString& thumbnailHost) const;

    // The name of file number index ("IMG_20230501_000042.jpg").
    static QString photoName(int index);
    // A name of length letters and digits (with ".jpg") that shares no block
    // of characters with another index's, so that no two are similar.
    static QString scatteredName(int index, int length = 19);
    // The name the folder gives file number index.
    QString nameOf(int index) const { return scatteredNames ? scatteredName(index) : photoName(index); }
    // The number whose checksum file number index has.
    int contentOf(int index) const { return pairedCopies ? index / 2 : index; }
};
