#pragma once
// The rewrites of one location's block in graph.txt after the List View changed the location in
// memory: its IGNORE=, SITEIP=, DISABLED= and PARENT= lines, and the removal of the whole block.
//
// Invariants:
//  - Each takes the table and the location's index and writes what the record holds; none changes
//    memory. The caller changes the record first.
//  - The block is found by its line "SITEID=" + site, exactly. When several locations share the name
//    (a hand-edited file), the record's position among them picks the block: the second location
//    named "abc" in the table is the second line "SITEID=abc" in the file.
//  - Every other line comes out byte for byte; every failure leaves graph.txt as it was and no twin:
//    Kind::NotFound when the block is not in the file, Kind::Refused when a value or the file cannot
//    be written as it is, Kind::IoFailure when the file system fails.
#include "store/blockrules.h"
#include "store/model.h"
#include "store/pleasewait.h"
#include "store/status.h"

#include <QString>

namespace qos {

class FileOps;

// Which line of graph.txt names location index of table; Kind::Refused for an index that is not a
// location.
Status TargetOf(const LocationTable &table, int index, LocationTarget &target);

// The address list the Add/Delete Address dialog stores: its text normalised and in lower case.
QString DialogAddressList(const QString &dialogText);

// "IGNORE=" + the record's ignore list.
Status RewriteIgnoreLine(const QString &folder, const LocationTable &table, int index, PleaseWait *pleaseWait,
                         FileOps *ops = nullptr);
// "SITEIP=" + the record's address list.
Status RewriteAddressLine(const QString &folder, const LocationTable &table, int index,
                          PleaseWait *pleaseWait, FileOps *ops = nullptr);
// "SITEIP=" + DialogAddressList(dialogText), the text the dialog put into the record's siteip.
Status RewriteAddressLineFromDialog(const QString &folder, const LocationTable &table, int index,
                                    const QString &dialogText, PleaseWait *pleaseWait,
                                    FileOps *ops = nullptr);
// "DISABLED=" + the record's disabled flag.
Status RewriteDisabledLine(const QString &folder, const LocationTable &table, int index,
                           PleaseWait *pleaseWait, FileOps *ops = nullptr);
// "PARENT=" + the record's parent (an empty value: reached through no other location).
Status RewriteParentLine(const QString &folder, const LocationTable &table, int index, PleaseWait *pleaseWait,
                         FileOps *ops = nullptr);
// Drops the location's block, BEGIN to END. The caller then tells the operator and reloads the table
// (indexes change).
Status DeleteLocationBlock(const QString &folder, const LocationTable &table, int index,
                           PleaseWait *pleaseWait, FileOps *ops = nullptr);

} // namespace qos
