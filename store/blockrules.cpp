#include "store/blockrules.h"

#include "store/graphfile.h"

#include <QString>

namespace qos {

namespace {

QString Shown(const LocationTarget &target)
{
    return QString::fromLatin1(target.siteLine);
}

Status TargetNotFound(const LocationTarget &target, int seen)
{
    if (target.occurrence <= 1 || seen == 0)
        return Status::notFound(QStringLiteral("there is no line \"%1\".").arg(Shown(target)));
    return Status::notFound(
        QStringLiteral("location %1 is the location number %2 named so, but the file holds only %3 lines "
                       "\"%4\".")
            .arg(Shown(target).mid(7), QString::number(target.occurrence), QString::number(seen),
                 Shown(target)));
}

} // namespace

KeyedLineRule::KeyedLineRule(LocationTarget target, Key key, QByteArray newLine)
    : m_target(std::move(target))
    , m_key(key)
    , m_newLine(std::move(newLine))
{}

void KeyedLineRule::line(const QByteArray &line, LinePlace place, LineOut &out)
{
    if (m_state == State::Before && line == m_target.siteLine && ++m_seen == m_target.occurrence) {
        m_state = State::InSection;
        out.keep(line);
        return;
    }
    if (m_state != State::InSection) {
        out.keep(line);
        return;
    }
    const auto keyed = ReadKeyedLine(line);
    if (keyed && keyed->key == m_key) {
        out.write(m_newLine);
        m_replaced = true;
        return;
    }
    const bool endsBefore = place == LinePlace::BlockBegin || place == LinePlace::BlockEnd ||
                            (keyed && (keyed->key == Key::SiteId || keyed->key == Key::SiteTop));
    if (endsBefore) {
        if (!m_replaced)
            out.write(m_newLine);
        m_state = State::Done;
    }
    out.keep(line);
}

Status KeyedLineRule::end(LineOut &out)
{
    if (m_state == State::InSection && !m_replaced)
        out.write(m_newLine);
    return m_state == State::Before ? TargetNotFound(m_target, m_seen) : Status::success();
}

BlockRemovalRule::BlockRemovalRule(LocationTarget target)
    : m_target(std::move(target))
{}

void BlockRemovalRule::line(const QByteArray &line, LinePlace place, LineOut &out)
{
    if (m_removed) {
        out.keep(line);
        return;
    }
    const bool isTarget = line == m_target.siteLine && ++m_seen == m_target.occurrence;
    switch (place) {
    case LinePlace::BlockBegin:
        release(out);
        m_held.append(line);
        return;
    case LinePlace::InBlock:
        m_held.append(line);
        m_heldIsTarget = m_heldIsTarget || isTarget;
        return;
    case LinePlace::BlockEnd:
        if (m_heldIsTarget) {
            m_held.clear();
            m_removed = true;
            return;
        }
        m_held.append(line);
        release(out);
        return;
    case LinePlace::Outside:
        m_outside = m_outside || isTarget;
        out.keep(line);
        return;
    }
}

void BlockRemovalRule::release(LineOut &out)
{
    for (const QByteArray &held : std::as_const(m_held))
        out.keep(held);
    m_held.clear();
    m_unfinished = m_unfinished || m_heldIsTarget;
    m_heldIsTarget = false;
}

Status BlockRemovalRule::end(LineOut &out)
{
    release(out);
    if (m_removed)
        return Status::success();
    if (m_unfinished) {
        return Status::refused(
            QStringLiteral("the block of \"%1\" has no line \"%2\" before the next block or the end of "
                           "the file, so where it ends is not known.")
                .arg(Shown(m_target), QLatin1String(LocationEndLine)));
    }
    if (m_outside) {
        return Status::refused(
            QStringLiteral("the line \"%1\" stands outside any LOCATION BEGIN ... LOCATION END block.")
                .arg(Shown(m_target)));
    }
    return TargetNotFound(m_target, m_seen);
}

MainSettingRule::MainSettingRule(Key key, QByteArray newLine)
    : m_key(key)
    , m_newLine(std::move(newLine))
{}

void MainSettingRule::line(const QByteArray &line, LinePlace place, LineOut &out)
{
    if (place == LinePlace::Outside) {
        const auto keyed = ReadKeyedLine(line);
        if (keyed && keyed->key == m_key) {
            out.write(m_newLine);
            m_written = true;
            return;
        }
        if (line == MainSettingsLine && ++m_mainLines == 2)
            writeIfMissing(out);
    } else if (place == LinePlace::BlockBegin) {
        writeIfMissing(out);
    }
    out.keep(line);
}

Status MainSettingRule::end(LineOut &out)
{
    writeIfMissing(out);
    return Status::success();
}

void MainSettingRule::writeIfMissing(LineOut &out)
{
    if (!m_written)
        out.write(m_newLine);
    m_written = true;
}

} // namespace qos
