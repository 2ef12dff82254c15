-- Profile names of the sample plant's profile database.
INSERT INTO Profilliste (ProfilNr, Profilname) VALUES (12, 'BR70-AD');
INSERT INTO Profilliste (ProfilNr, Profilname) VALUES (15, 'FL76-MD');
INSERT INTO Profilliste (ProfilNr, Profilname) VALUES (21, 'TR82-HT');
