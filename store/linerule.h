#pragma once
// What a rewrite does with the lines of a data file: the rule interface of RewriteViaTemporary.
//
// Invariants:
//  - A rule sees every line once, in file order, without its line end, together with its place in the
//    block structure; it writes zero or more lines for it and may write more when the file ends.
//  - keep() puts back a line exactly as read; write() puts a line the program composed. A composed
//    line holding CR or LF refuses the whole rewrite, so no rule can add lines of its own by accident.
//  - A rule that ends with anything but success discards the rewrite: the file stays as it was.
#include "store/status.h"

#include <QByteArray>
#include <QByteArrayView>

#include <functional>
#include <optional>

namespace qos {

// Where a line stands. A block runs from a line equal to the BEGIN separator to the next line equal to
// the END separator. A BEGIN line inside a block starts a new block: the earlier one has no END.
enum class LinePlace { Outside, BlockBegin, InBlock, BlockEnd };

class LineOut {
public:
    virtual ~LineOut() = default;
    virtual void keep(const QByteArray &line) = 0;
    virtual void write(QByteArrayView line) = 0;
};

class LineRule {
public:
    virtual ~LineRule() = default;
    virtual void line(const QByteArray &line, LinePlace place, LineOut &out) = 0;
    // After the last line. A failure (Kind::NotFound, Kind::Refused) leaves the file unchanged; its
    // text is shown after the file's name.
    virtual Status end(LineOut &out) = 0;
};

// A rule that maps each line to one line or to none, whatever its place.
class MapRule : public LineRule {
public:
    using Map = std::function<std::optional<QByteArray>(const QByteArray &line)>;
    explicit MapRule(Map map)
        : m_map(std::move(map))
    {}
    void line(const QByteArray &line, LinePlace, LineOut &out) override
    {
        if (const std::optional<QByteArray> mapped = m_map(line)) {
            if (*mapped == line)
                out.keep(line);
            else
                out.write(*mapped);
        }
    }
    Status end(LineOut &) override { return Status::success(); }

private:
    Map m_map;
};

} // namespace qos
