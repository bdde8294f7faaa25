#pragma once

#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVariantMap>

#include <optional>

// Utility operations on paths: size texts, listings, removals, login items,
// dates and the support folder. Stateless; any thread. Operations that remove
// refuse an empty path and the root folder. Listings never follow a symbolic
// link and never enter a folder twice in one walk.
struct FileOperations {
    // The byte count in steps of 1024 (while above 1024, at most to "TB"),
    // named by units' texts for the keys "bytes", "KB", "MB", "GB", "TB":
    // "1024 bytes", "1.0 KB".
    static QString convertBytesToApplicableUnit(const QVariantMap& units, const QVariant& sizeInBytes);

    // The item's size in decimal digits (a link's own size); "0" when missing.
    static QString getFileSize(const QString& path);
    // The modification date as the user's short date and time; none when the
    // item cannot be examined.
    static std::optional<QString> getFileLastModifiedDateTime(const QString& path);
    // "aDate": last access as whole seconds since 1970; "cDate": creation
    // date (left out where the file system keeps none); "mDate": modification
    // date. Empty when the item cannot be examined.
    static QVariantMap getItemAMCDates(const QString& path);

    // Removes a file, a link or an empty folder; never a folder's contents.
    static bool deleteFile(const QString& path, QString* error = nullptr);
    // Full paths of the folders at any depth whose extension is extension,
    // ignoring case; such a folder is not entered.
    static QStringList getFilesListInDirectory(const QString& folder, const QString& extension);
    // Full paths of every regular file at any depth.
    static QStringList getFilesListInDirectory(const QString& folder);
    // Removes every regular file getFilesListInDirectory() lists; folders
    // stay. With error given, stops at the first failure and returns false;
    // without, goes on past failures and returns true.
    static bool deleteDirectoryContents(const QString& folder, QString* error = nullptr);
    // "%f" of the sum of the sizes of those files.
    static QString getDirectorySize(const QString& folder);
    // Names of the folder's direct entries, hidden ones included.
    static QStringList getFilesFoldersListInDirectory(const QString& folder);

    // The byte sum of everything below a folder in decimal digits (see
    // folderSizeOfPath); "0" when it cannot be opened.
    static QString fastFolderSize(const QString& folder);
    static QString folderSizeUnix(const QString& folder);
    // folderSizeUnix() for a folder, getFileSize() for anything else.
    static QString getSizeOfFileOrFolder(const QString& path);

    // Login items are freedesktop autostart entries in the user's config
    // folder. Adding writes an entry that starts the program at path (once:
    // a second add finds the first); false when it cannot be written.
    static bool addApplicationAsLoginItem(const QString& path);
    // Removes every entry that starts the program at path; false when one
    // could not be removed.
    static bool deleteApplicationFromLoginItem(const QString& path);
    // The programs the user's autostart entries start, hidden ones left out.
    static QStringList getApplicationsListFromLoginItem();

    // Runs "/bin/rm -rf -- path" with administrator rights and waits; logs
    // "Error: <status>" and returns false when it fails or is refused. A path
    // privilegedPathRefusal() refuses is logged and never run.
    static bool removeFileWithElevatedPrivilegesFromLocation(const QString& path);
    // The same for each path in order; the first failure logs "Error:
    // <status> (File:<path>)" and ends the run. Runs nothing when one of the
    // paths is refused; true for none.
    static bool removeFilesWithElevatedPrivilegesFromLocations(const QStringList& paths);
    // Runs "/bin/rm -rf -- path" with the user's own rights and waits; true
    // when it succeeded. Refuses the paths a privileged removal refuses.
    static bool deleteItemFromTerminalCommand(const QString& path);

    // The folder location names, with component appended when given,
    // created with its parents; none (and error set when given) otherwise.
    static std::optional<QString> findOrCreateDirectory(
        const QString& location, const std::optional<QString>& component, QString* error = nullptr);
    // The application's support folder, created when missing, and only when
    // it is the user's own (PrivateFiles::ensureOwnFolder); logs "Unable to
    // find or create application support directory:" and the cause otherwise.
    static std::optional<QString> applicationSupportDirectory();
};
