#pragma once
// info.txt: one note per address of a location, grouped in blocks by the location's name.
//
// Invariants:
//  - A location's notes are the section that starts at its first line "SITEID=" + site (exact) and
//    ends at the next END or BEGIN line or the next line that begins with "SITEID=". Loading, saving and
//    dropping all use that one section, so what is saved loads back, whatever the note holds.
//  - A note line is the address, "=", the note. Its key (the text before the first "=") is compared
//    with the address exactly, so 10.0.0.1 never touches 110.0.0.1; an IPv6 key matches any spelling of
//    the same address.
//  - Texts holding control characters (line breaks above all), characters outside Latin-1, an address
//    holding "=" or the address "SITEID" are refused: nothing is written that would read back as
//    other lines or another section.
//  - Every change goes through infotmp.txt and an atomic replace; a failure leaves info.txt as it was
//    and no twin. A change that finds nothing to change leaves the file untouched and succeeds.
//  - The caller tells the operator ("Info saved for IP: " + address); the store shows nothing but the
//    please-wait window.
#include "store/pleasewait.h"
#include "store/status.h"

#include <QString>

namespace qos {

class FileOps;

inline constexpr char NotesFileName[] = "info.txt";
inline constexpr char NotesTwinName[] = "infotmp.txt";

QString NotesFilePath(const QString &folder); // folder/info.txt
QString NotesTwinPath(const QString &folder); // folder/infotmp.txt

// note := the note of address in location site, or empty when it has none or there is no info.txt.
Status LoadAddressNote(const QString &folder, const QString &site, const QString &address, QString &note,
                       PleaseWait *pleaseWait, FileOps *ops = nullptr);
// Writes note as the note of address: replaces its line, or inserts it before the END line of the
// location's block, or appends a new block; the first save creates info.txt with the four lines of one
// block. A blank note (spaces only) deletes an existing line and adds no block.
Status SaveAddressNote(const QString &folder, const QString &site, const QString &address,
                       const QString &note, PleaseWait *pleaseWait, FileOps *ops = nullptr);
// Removes the note line of address.
Status DropAddressNote(const QString &folder, const QString &site, const QString &address,
                       PleaseWait *pleaseWait, FileOps *ops = nullptr);
// Removes the location's first block, BEGIN to END, with all its notes.
Status DropLocationNotes(const QString &folder, const QString &site, PleaseWait *pleaseWait,
                         FileOps *ops = nullptr);

} // namespace qos
