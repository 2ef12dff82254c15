#pragma once

#include "tximport/ImportContext.h"

#include <QVariant>

// Shared mechanics of the production-data reader: column bookkeeping,
// field cutting, the tenths rule, the reports and the exits. Every report
// goes through WriteErrorLog and begins with "Job: " + file name.
namespace tx {

// The job file (implemented with the frame in ProductionImport.cpp).
// Opens ctx.path for reading; raises into ctx.err and returns false when it
// cannot be opened.
bool openJobFile(ImportContext& ctx);
// Adds 1 to the line number and reads the next line of the job file into
// the line buffer with its leading blanks removed; at the end of the file
// the line buffer becomes empty and the result is false.
bool readNextLine(ImportContext& ctx);
[[nodiscard]] bool atEndOfJobFile(ImportContext& ctx);
void closeJobFile(ImportContext& ctx);

// column = line length - length of the line buffer + 1
void setColumn(ImportContext& ctx);
// Removes n characters from the front of the line buffer (past the end
// leaves it empty).
void consume(ImportContext& ctx, int n);
// Mid(buf, start, length) without removing anything.
QByteArray peek(const ImportContext& ctx, int start, int length);
// Cuts the next n characters off the front of the line buffer into token.
QByteArray cut(ImportContext& ctx, int n);

// Tenths rule: Val 0 or less -> integer 0, else Val / 10 as a double.
QVariant tenths(const QByteArray& field);
// A number for the database: whole numbers as integers, so that integer
// and text columns get "123", not "123.0".
QVariant numberValue(double v);
// A byte field as text for the database.
QString toText(const QByteArray& field);

// Hands a row the Part keeps current to the writer; the row stays current
// and may be changed and stored again.
bool store(ImportContext& ctx, db::Row& row, PendingError& err);

// Reports; each writes the log entry, sets the error text for the stop box
// and returns Flow::Stop.
enum class WrongIdForm { WholeRest, Short };
Flow wrongIdReport(ImportContext& ctx, WrongIdForm form);
Flow wrongPieceNumberReport(ImportContext& ctx);
Flow wrongBarNumberReport(ImportContext& ctx);
Flow wrongRestPieceNumberReport(ImportContext& ctx, const QByteArray& number);

// The failure exit: the pending error's description becomes the error text
// and the run-time failure report is written. In steel mode with the job
// load mode on and no steel data in the job, nothing is reported and the
// import ends normally (ctx.endNormally). Returns Flow::Stop either way.
Flow failureExit(ImportContext& ctx);
// A check point: true when an error is pending, after the failure exit
// was taken.
bool stopsAtCheckPoint(ImportContext& ctx);

// What a record's sub-field handler tells the record's sub-field loop.
enum class Pass {
    Next,  // the sub-field is read: go on with the next one
    Leave, // not a sub-field of this record: the loop ends there
    Stop,  // an exit was taken
};
// A sub-field's check point: Stop after the failure exit when an error is
// pending, else Next.
Pass checkPoint(ImportContext& ctx);
// A record's sub-field loop: while the line buffer holds something, clear
// the pending error, set the column and read one sub-field. Returns Leave or
// Stop as the handler said, Next when the line buffer ran empty.
Pass readSubFields(ImportContext& ctx, Pass (*readSubField)(ImportContext&));
// The same with a description of the record's own.
Flow failWith(ImportContext& ctx, const QString& description);

} // namespace tx
