-- Profile database (Profil/profildatenbank.mdb beside the client directory).
-- Kept by the plant; the server only reads it to name the profiles of bars.
CREATE TABLE Profilliste (
    RowKey INTEGER PRIMARY KEY AUTOINCREMENT,
    ProfilNr INTEGER,
    Profilname TEXT(50)
);

CREATE INDEX Profilliste_ProfilNr ON Profilliste (ProfilNr);
