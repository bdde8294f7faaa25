-- The digest cache database. A new cache file is built from these statements,
-- and each scan runs them again to add any table that is missing; they never
-- touch a table that exists.
--
-- tempTable holds the files of the latest local scan; the loader joins it with
-- a digest table and reads the joined row by position, so the column order of
-- every table here is fixed.

CREATE TABLE IF NOT EXISTS tempTable (
    filePath TEXT,
    fileModDate INTEGER
);

-- One digest table per scan source, all alike: the program runs this statement
-- once for each table name. A path has at most one row: the digest of a file
-- that changed replaces the old row instead of piling up beside it.
CREATE TABLE IF NOT EXISTS $digestTable (
    fileID INTEGER PRIMARY KEY,
    fileHash TEXT,
    fileCreationDate INTEGER,
    fileModDate INTEGER,
    filePath TEXT UNIQUE ON CONFLICT REPLACE,
    fileSize INTEGER
);
