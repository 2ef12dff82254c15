-- Job database (prog.mdb in the client directory).
--
-- The machine's control reads its work from these tables; the server writes
-- them. Production data and steel data live in two families of tables with
-- the same columns: the plain names, and the same names prefixed "Stahl".
--
-- Column types follow what is written into them: numbers that criteria
-- compare without quotes (StabNr, TeileNr) are numeric; texts are sized
-- TEXT(n) so that an over-long value is refused; print texts are unbounded
-- LONGTEXT (a declared type with "TEXT" in it, so that SQLite keeps "007"
-- as text and does not turn it into the number 7); Freigabe is a date and
-- time. Job names compare without regard to case (COLLATE NOCASE), as they
-- always did: A123 and a123 are the same job. Every table has a surrogate key "RowKey"
-- that only the store layer uses (record order and bookmarks).
--
-- Deleting a job row cascades to its bars, pieces and machining rows.
-- Druckdaten has no such link: its rows are removed per job by the server,
-- and orphans by the start-up clean-up.

-- production data

CREATE TABLE LosNamen (
    RowKey INTEGER PRIMARY KEY AUTOINCREMENT,
    LosName TEXT(255) NOT NULL UNIQUE COLLATE NOCASE,
    Freigabe DATETIME,
    ID INTEGER
);

CREATE TABLE Stabdaten (
    RowKey INTEGER PRIMARY KEY AUTOINCREMENT,
    LosName TEXT(255) NOT NULL COLLATE NOCASE,
    StabNr INTEGER,
    ResteTeileNr TEXT(10),
    Freigabe DATETIME,
    ID INTEGER,
    LoadID SMALLINT,
    ProfilNr TEXT(10),
    ProfilName TEXT(50),
    StahlNr TEXT(10),
    StahlName TEXT(50),
    Farbe TEXT(30),
    Bezeichnung TEXT(30),
    Laufbahn TEXT(5),
    Rohlaenge DOUBLE,
    ResteLaenge DOUBLE,
    ResteKennung TEXT(5),
    ResteEtkLaufbahn SMALLINT,
    ResteEtkDruckerNr SMALLINT,
    ResteEtkNr INTEGER,
    ResteEtkPosition DOUBLE,
    FOREIGN KEY (LosName) REFERENCES LosNamen (LosName) ON DELETE CASCADE
);

CREATE TABLE Teiledaten (
    RowKey INTEGER PRIMARY KEY AUTOINCREMENT,
    LosName TEXT(255) NOT NULL COLLATE NOCASE,
    TeileNr INTEGER,
    StabNr INTEGER,
    Freigabe DATETIME,
    ID INTEGER,
    LoadID SMALLINT,
    WagenNr DOUBLE,
    FachNr DOUBLE,
    Kommission TEXT(10),
    Position TEXT(10),
    TeileTyp TEXT(5),
    AnGehrung DOUBLE,
    AbGehrung DOUBLE,
    AngleOnCutID SMALLINT,
    AngleOffCutID SMALLINT,
    TeileLaenge DOUBLE,
    TeileLaenge1 DOUBLE,
    TeileLaenge2 DOUBLE,
    Stahlanwahl SMALLINT,
    Stahlanwahl1 SMALLINT,
    Stahlanwahl2 SMALLINT,
    Stahllaufbahn SMALLINT,
    Stahllaufbahn2 SMALLINT,
    StahlTeileNr INTEGER,
    StahlTeileNr1 INTEGER,
    StahlTeileNr2 INTEGER,
    Stahllaenge DOUBLE,
    Stahllaenge1 DOUBLE,
    Stahllaenge2 DOUBLE,
    Stahleinschubtiefe DOUBLE,
    Stahleinschubtiefe1 DOUBLE,
    Stahleinschubtiefe2 DOUBLE,
    Stahlnummer TEXT(10),
    Stahlnummer1 TEXT(10),
    Stahlnummer2 TEXT(10),
    StahlBezeichnung TEXT(30),
    StahlNr TEXT(10),
    StahlNr1 TEXT(10),
    StahlNr2 TEXT(10),
    StahlName TEXT(50),
    PVCLosName TEXT(255) COLLATE NOCASE,
    PVCTeileNr INTEGER,
    EtikettDruckerNr SMALLINT,
    EtikettNr INTEGER,
    EtikettLaufbahn SMALLINT,
    EtikettPosition DOUBLE,
    KappHoeheAnschnitt DOUBLE,
    KappHoeheAbschnitt DOUBLE,
    Barcode TEXT(20),
    PrintBarcode TEXT(20),
    FOREIGN KEY (LosName) REFERENCES LosNamen (LosName) ON DELETE CASCADE
);

CREATE TABLE Werkzeugdaten (
    RowKey INTEGER PRIMARY KEY AUTOINCREMENT,
    LosName TEXT(255) NOT NULL COLLATE NOCASE,
    TeileNr INTEGER,
    StabNr INTEGER,
    BearbNr INTEGER,
    WerkzPos DOUBLE,
    Tiefe DOUBLE,
    YOffset DOUBLE,
    ZOffset DOUBLE,
    FOREIGN KEY (LosName) REFERENCES LosNamen (LosName) ON DELETE CASCADE
);

CREATE INDEX Stabdaten_Los_Stab ON Stabdaten (LosName, StabNr);

CREATE INDEX Stabdaten_ID ON Stabdaten (ID);

CREATE INDEX Stabdaten_LoadID ON Stabdaten (LoadID);

CREATE INDEX Teiledaten_Los_Teil ON Teiledaten (LosName, TeileNr);

CREATE INDEX Teiledaten_Los_Stab ON Teiledaten (LosName, StabNr);

CREATE INDEX Teiledaten_ID ON Teiledaten (ID);

CREATE INDEX Teiledaten_LoadID ON Teiledaten (LoadID);

CREATE INDEX Werkzeugdaten_Los_Teil ON Werkzeugdaten (LosName, TeileNr);

CREATE INDEX LosNamen_ID ON LosNamen (ID);

-- A piece's machining rows belong to it: deleting a piece (an overriding
-- import writes the pieces of each bar again) deletes them too, so an
-- override never doubles the machining of a piece.
CREATE TRIGGER Teiledaten_Werkzeugdaten AFTER DELETE ON Teiledaten
BEGIN
    DELETE FROM Werkzeugdaten
    WHERE LosName = old.LosName AND TeileNr IS old.TeileNr AND StabNr IS old.StabNr;
END;

-- steel data

CREATE TABLE StahlLosNamen (
    RowKey INTEGER PRIMARY KEY AUTOINCREMENT,
    LosName TEXT(255) NOT NULL UNIQUE COLLATE NOCASE,
    Freigabe DATETIME,
    ID INTEGER
);

CREATE TABLE StahlStabdaten (
    RowKey INTEGER PRIMARY KEY AUTOINCREMENT,
    LosName TEXT(255) NOT NULL COLLATE NOCASE,
    StabNr INTEGER,
    ResteTeileNr TEXT(10),
    Freigabe DATETIME,
    ID INTEGER,
    LoadID SMALLINT,
    ProfilNr TEXT(10),
    ProfilName TEXT(50),
    StahlNr TEXT(10),
    StahlName TEXT(50),
    Farbe TEXT(30),
    Bezeichnung TEXT(30),
    Laufbahn TEXT(5),
    Rohlaenge DOUBLE,
    ResteLaenge DOUBLE,
    ResteKennung TEXT(5),
    ResteEtkLaufbahn SMALLINT,
    ResteEtkDruckerNr SMALLINT,
    ResteEtkNr INTEGER,
    ResteEtkPosition DOUBLE,
    FOREIGN KEY (LosName) REFERENCES StahlLosNamen (LosName) ON DELETE CASCADE
);

CREATE TABLE StahlTeiledaten (
    RowKey INTEGER PRIMARY KEY AUTOINCREMENT,
    LosName TEXT(255) NOT NULL COLLATE NOCASE,
    TeileNr INTEGER,
    StabNr INTEGER,
    Freigabe DATETIME,
    ID INTEGER,
    LoadID SMALLINT,
    WagenNr DOUBLE,
    FachNr DOUBLE,
    Kommission TEXT(10),
    Position TEXT(10),
    TeileTyp TEXT(5),
    AnGehrung DOUBLE,
    AbGehrung DOUBLE,
    AngleOnCutID SMALLINT,
    AngleOffCutID SMALLINT,
    TeileLaenge DOUBLE,
    TeileLaenge1 DOUBLE,
    TeileLaenge2 DOUBLE,
    Stahlanwahl SMALLINT,
    Stahlanwahl1 SMALLINT,
    Stahlanwahl2 SMALLINT,
    Stahllaufbahn SMALLINT,
    Stahllaufbahn2 SMALLINT,
    StahlTeileNr INTEGER,
    StahlTeileNr1 INTEGER,
    StahlTeileNr2 INTEGER,
    Stahllaenge DOUBLE,
    Stahllaenge1 DOUBLE,
    Stahllaenge2 DOUBLE,
    Stahleinschubtiefe DOUBLE,
    Stahleinschubtiefe1 DOUBLE,
    Stahleinschubtiefe2 DOUBLE,
    Stahlnummer TEXT(10),
    Stahlnummer1 TEXT(10),
    Stahlnummer2 TEXT(10),
    StahlBezeichnung TEXT(30),
    StahlNr TEXT(10),
    StahlNr1 TEXT(10),
    StahlNr2 TEXT(10),
    StahlName TEXT(50),
    PVCLosName TEXT(255) COLLATE NOCASE,
    PVCTeileNr INTEGER,
    EtikettDruckerNr SMALLINT,
    EtikettNr INTEGER,
    EtikettLaufbahn SMALLINT,
    EtikettPosition DOUBLE,
    KappHoeheAnschnitt DOUBLE,
    KappHoeheAbschnitt DOUBLE,
    Barcode TEXT(20),
    PrintBarcode TEXT(20),
    FOREIGN KEY (LosName) REFERENCES StahlLosNamen (LosName) ON DELETE CASCADE
);

CREATE TABLE StahlWerkzeugdaten (
    RowKey INTEGER PRIMARY KEY AUTOINCREMENT,
    LosName TEXT(255) NOT NULL COLLATE NOCASE,
    TeileNr INTEGER,
    StabNr INTEGER,
    BearbNr INTEGER,
    WerkzPos DOUBLE,
    Tiefe DOUBLE,
    YOffset DOUBLE,
    ZOffset DOUBLE,
    FOREIGN KEY (LosName) REFERENCES StahlLosNamen (LosName) ON DELETE CASCADE
);

CREATE INDEX StahlStabdaten_Los_Stab ON StahlStabdaten (LosName, StabNr);

CREATE INDEX StahlStabdaten_ID ON StahlStabdaten (ID);

CREATE INDEX StahlStabdaten_LoadID ON StahlStabdaten (LoadID);

CREATE INDEX StahlTeiledaten_Los_Teil ON StahlTeiledaten (LosName, TeileNr);

CREATE INDEX StahlTeiledaten_Los_Stab ON StahlTeiledaten (LosName, StabNr);

CREATE INDEX StahlTeiledaten_ID ON StahlTeiledaten (ID);

CREATE INDEX StahlTeiledaten_LoadID ON StahlTeiledaten (LoadID);

CREATE INDEX StahlWerkzeugdaten_Los_Teil ON StahlWerkzeugdaten (LosName, TeileNr);

CREATE INDEX StahlLosNamen_ID ON StahlLosNamen (ID);

CREATE TRIGGER StahlTeiledaten_StahlWerkzeugdaten AFTER DELETE ON StahlTeiledaten
BEGIN
    DELETE FROM StahlWerkzeugdaten
    WHERE LosName = old.LosName AND TeileNr IS old.TeileNr AND StabNr IS old.StabNr;
END;

-- print data: one row per job and piece
CREATE TABLE Druckdaten (
    RowKey INTEGER PRIMARY KEY AUTOINCREMENT,
    LosName TEXT(255) NOT NULL COLLATE NOCASE,
    TeileNr SMALLINT,
    Etikettendaten LONGTEXT,
    Tintendruckdaten LONGTEXT
);

CREATE INDEX Druckdaten_Los_Teil ON Druckdaten (LosName, TeileNr);
