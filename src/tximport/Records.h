#pragma once

#include "tximport/ImportContext.h"

// One handler per record kind and sub-field group. Each is entered with the
// line buffer starting at its record code or sub-field letter, removes
// exactly the characters it reads, and returns how to go on.
namespace tx {

// "KB" bar record.
Flow readBarRecord(ImportContext& ctx);
// "KTN" piece record: head, sub-field loop ("F", "K", "P", "T" here; the
// rest dispatched below), then completion.
Flow readPieceRecord(ImportContext& ctx);
// Piece sub-fields "G" (angles) and "L" (length).
Flow readAngleField(ImportContext& ctx);
Flow readLengthField(ImportContext& ctx);
// Piece sub-field "S" (steel reinforcement).
Flow readSteelField(ImportContext& ctx);
// Piece sub-field "D" (label).
Flow readLabelField(ImportContext& ctx);
// Piece sub-fields "W", "Q", "B", "E", "C", "A", "X", blank, line feed and
// any other letter (the Wrong ID report).
Flow readMachiningOrTailField(ImportContext& ctx);
// After the piece's sub-field loop: steel names, load identifier, store.
void completePiece(ImportContext& ctx);
// "KS" bar selection record.
Flow readBarSelectionRecord(ImportContext& ctx);
// "KR" remnant record.
Flow readRemnantRecord(ImportContext& ctx);

// Overriding a job: afterwards its bars, pieces and machining rows are
// exactly what the new file brings. The first time the file meets a bar the
// job already had (its "KB", a "KS" that selects it, a piece on a bar of its
// own), the bar's old pieces and their machining rows go; never a second
// time, which would take the pieces read for it so far. The bars the file
// does not bring go at its end, with their pieces.
void noteOldBars(ImportContext& ctx);
// The current bar row was found again: its old pieces go, if this is the
// first time. A piece's own bar keeps its steel piece, which is found again
// by its number.
enum class BarKind { Listed, OwnBar };
void meetFoundBar(ImportContext& ctx, BarKind kind);
void removeBarsNotMet(ImportContext& ctx);

// Shared by the bar record and the bar selection record: the column of the
// profile name (the steel name in steel mode), and the sub-fields "TB" + 8
// characters (that name) and "TF" + 20 characters (the colour) on the
// current bar row. False, reading nothing, when the "T" is followed by
// anything else.
QString profileNameColumn(const ImportContext& ctx);
bool readBarNameOrColour(ImportContext& ctx, char second);

} // namespace tx
