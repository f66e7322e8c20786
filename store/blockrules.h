#pragma once
// The line rules of the rewrites: replacing a key line of one location's block, removing that block,
// and replacing a main-settings line. graph.txt uses all three; info.txt uses the block removal.
//
// Invariants:
//  - A location's target is the n-th line equal, byte for byte, to "SITEID=" + the name: never a case or
//    spacing variant, never a second block with the same name.
//  - Every line the rule does not name is kept byte for byte and in order.
//  - A target that is not in the file ends the rule with Kind::NotFound, a target that cannot be
//    changed safely with Kind::Refused; either way the rewrite is discarded.
#include "store/graphkeys.h"
#include "store/linerule.h"

#include <QByteArray>
#include <QList>

namespace qos {

struct LocationTarget {
    QByteArray siteLine; // "SITEID=" + the name, in the file's bytes
    int occurrence = 1;  // 1 = the first line equal to siteLine
};

// Replaces the key lines of the target's section with newLine. The section is what the loader builds
// the location from: from the SITEID line to its SITETOP line, ended early by the block's END, a BEGIN
// line or the next SITEID line. A key line is a line the loader reads as that key. A section without
// one gets newLine inserted before the line that ends it (before SITETOP, so the loader still reads
// it into this location), never beyond the block.
class KeyedLineRule : public LineRule {
public:
    KeyedLineRule(LocationTarget target, Key key, QByteArray newLine);
    void line(const QByteArray &line, LinePlace place, LineOut &out) override;
    Status end(LineOut &out) override;

private:
    enum class State { Before, InSection, Done };
    LocationTarget m_target;
    Key m_key;
    QByteArray m_newLine;
    int m_seen = 0;
    State m_state = State::Before;
    bool m_replaced = false;
};

// Drops the block, BEGIN to END, that holds the target's SITEID line. Blocks are held until their END
// line, however long; a block without one (the file ends, or another BEGIN comes first) is written out
// as it was. A target outside a complete block refuses the rewrite.
class BlockRemovalRule : public LineRule {
public:
    explicit BlockRemovalRule(LocationTarget target);
    void line(const QByteArray &line, LinePlace place, LineOut &out) override;
    Status end(LineOut &out) override;

private:
    void release(LineOut &out); // writes the held lines out as they were
    LocationTarget m_target;
    QList<QByteArray> m_held;
    bool m_heldIsTarget = false;
    int m_seen = 0;
    bool m_removed = false;
    bool m_unfinished = false; // the target's block has no END line
    bool m_outside = false;    // the target's SITEID line is outside any block
};

// Replaces the main-settings lines of key with newLine: every line outside the location blocks that
// the loader reads as key. Lines inside blocks are never touched, so a location line holding the key's
// text (an address list may hold any text) stays as it is. A file without such a line gets newLine
// inside its MAIN SETTINGS block (before the second MAIN SETTINGS line), or, without a closed block,
// before the first location block or at the end, so the file holds the value the program now uses.
class MainSettingRule : public LineRule {
public:
    MainSettingRule(Key key, QByteArray newLine);
    void line(const QByteArray &line, LinePlace place, LineOut &out) override;
    Status end(LineOut &out) override;

private:
    void writeIfMissing(LineOut &out);
    Key m_key;
    QByteArray m_newLine;
    int m_mainLines = 0; // MAIN SETTINGS lines outside the blocks so far
    bool m_written = false;
};

} // namespace qos
