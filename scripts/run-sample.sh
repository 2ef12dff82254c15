#!/usr/bin/env bash
# Installs what is needed, builds the server alone (in build-sample: no
# tests, no benchmarks), lays out a copy of the sample plant in
# examples/plant, creates its job database and runs the server headless on it
# (one scan cycle per run, until the jobs are in), then shows what was
# imported.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
config=${1:-ServerQuirnel.zezad}
bash "$root/scripts/install-deps.sh"
bash "$root/scripts/build.sh" build-sample Release -DBUILD_TESTING=OFF -DVOV_BENCH=OFF -- serverquirnel

plant=$root/build-sample/sample-plant
rm -rf "$plant"
cp -r "$root/examples/plant" "$plant"
mkdir -p "$plant/Backup"   # the sample's backup directory; --init-db makes Client
cp "$root/build-sample/src/app/serverquirnel" "$plant/Server/"
export XDG_CONFIG_HOME=$plant/.config
export XDG_CONFIG_DIRS=$plant/.xdg   # the machine-wide store of the published paths, kept in the sample
export XDG_RUNTIME_DIR=$plant/.run
mkdir -p "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"

"$plant/Server/serverquirnel" --init-db "$plant/Client"
sqlite3 "$plant/Profil/profildatenbank.mdb" < "$root/schema/profiledatabase.sql"
sqlite3 "$plant/Profil/profildatenbank.mdb" < "$plant/Profil/profiles.sql"

echo "== jobs waiting in $plant/In =="
ls "$plant/In"
for cycle in 1 2 3 4 5 6; do
  ls "$plant/In" | grep -qiE '\.\$(tx|sx|et)$' || break
  echo "== scan cycle $cycle =="
  "$plant/Server/serverquirnel" "$plant/Server/$config" --headless --once
done

echo "== imported =="
sqlite3 -header -column "$plant/Client/prog.mdb" "
  SELECT l.LosName AS job, l.ID, l.Freigabe,
         (SELECT COUNT(*) FROM Stabdaten s WHERE s.LosName = l.LosName) AS bars,
         (SELECT COUNT(*) FROM Teiledaten t WHERE t.LosName = l.LosName) AS pieces,
         (SELECT COUNT(*) FROM Werkzeugdaten w WHERE w.LosName = l.LosName) AS machining,
         (SELECT COUNT(*) FROM StahlTeiledaten st WHERE st.LosName = l.LosName) AS steel_pieces,
         (SELECT COUNT(*) FROM Druckdaten d WHERE d.LosName = l.LosName) AS labels
  FROM LosNamen l ORDER BY l.LosName;"
echo "== bars =="
sqlite3 -header -column "$plant/Client/prog.mdb" "SELECT LosName, StabNr, ProfilNr, ProfilName, Farbe, Rohlaenge, StahlName, LoadID FROM Stabdaten ORDER BY LosName, StabNr;"
echo "== files =="
echo "server directory:"; ls "$plant/In"
echo "prog.bak:"; ls "$plant/Server/prog.bak" 2>/dev/null || true
echo "release flag:"; cat "$XDG_CONFIG_HOME/Lorvane-Application/Server VOV - Produktionsdaten.conf" 2>/dev/null || true
