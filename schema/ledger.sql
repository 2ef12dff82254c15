-- Import ledger: one row per job file the server took, written in the same
-- transaction as the job's rows (or, for a file set aside, together with
-- the deletes that follow the roll-back). A row is "pending" until the
-- file's move (to prog.bak, or to an error copy) is done, then "settled".
-- Before every scan the server settles the pending rows against the
-- server directory: a file still there with the same name, size, time and
-- content is moved as its row says, without being read again. So a server
-- stopped between the commit and the last move never imports a job twice.
--
-- Kind: 'production', 'label' or 'steel'; Outcome: 'loaded' or 'set aside';
-- FileTime: the file's modification time in milliseconds since 1970 (UTC).
-- Rows of a job go when the job's row is deleted.
CREATE TABLE IF NOT EXISTS ImportLedger (
    RowKey INTEGER PRIMARY KEY AUTOINCREMENT,
    FileName TEXT(255) NOT NULL,
    FileSize INTEGER NOT NULL,
    FileTime INTEGER NOT NULL,
    Sha256 TEXT(64) NOT NULL,
    LosName TEXT(255) NOT NULL COLLATE NOCASE,
    Kind TEXT(10) NOT NULL,
    Outcome TEXT(10) NOT NULL,
    State TEXT(10) NOT NULL DEFAULT 'pending',
    TakenAt DATETIME NOT NULL
);

CREATE INDEX IF NOT EXISTS ImportLedger_State ON ImportLedger (State);

CREATE INDEX IF NOT EXISTS ImportLedger_Los ON ImportLedger (LosName);

CREATE TRIGGER IF NOT EXISTS LosNamen_ImportLedger AFTER DELETE ON LosNamen
BEGIN
    DELETE FROM ImportLedger WHERE LosName = old.LosName AND Kind <> 'steel' AND State = 'settled';
END;

CREATE TRIGGER IF NOT EXISTS StahlLosNamen_ImportLedger AFTER DELETE ON StahlLosNamen
BEGIN
    DELETE FROM ImportLedger WHERE LosName = old.LosName AND Kind = 'steel' AND State = 'settled';
END;

-- Where each kind's listing resumes: after the file its last scan took, so
-- that a file that keeps failing (and stays) cannot hold up the files
-- behind it, across restarts too.
CREATE TABLE IF NOT EXISTS ImportQueue (
    Kind TEXT(10) PRIMARY KEY,
    ResumeAfter TEXT(255) NOT NULL
);
