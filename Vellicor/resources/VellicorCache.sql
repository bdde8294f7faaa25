-- The digest cache database. A new cache file is built from these statements,
-- and a file whose schema version differs from the program's is emptied and
-- built again from them.
--
-- One digest table per scan source, all alike: the program runs this statement
-- once for each table name. A path has at most one row: the digest of a file
-- that changed replaces the old row instead of piling up beside it.
--
-- A stored digest counts for a file only while its size, exact modification
-- time (seconds and nanoseconds), inode and status-change time are unchanged.
-- A row is written only when those times prove it: the file system keeps a
-- change time of its own, and the file's was older than the read of its digest
-- by more than that file system's time resolution.
-- fileHeadHash is the digest of the file's first block, kept for the files
-- that were told apart from the others of their size by it. A row may hold it
-- without a full digest (fileHash NULL).
CREATE TABLE IF NOT EXISTS $digestTable (
    fileID INTEGER PRIMARY KEY,
    fileHash TEXT,
    fileCreationDate INTEGER,
    fileModDate INTEGER,
    filePath TEXT UNIQUE ON CONFLICT REPLACE,
    fileSize INTEGER,
    fileModNanoseconds INTEGER,
    fileInode INTEGER,
    fileChangeDate INTEGER,
    fileChangeNanoseconds INTEGER,
    fileHeadHash TEXT
);
