#include "listview/listparent.h"

#include "platform/mnemonics.h"
#include "platform/twips.h"
#include "store/text.h"

#include <QComboBox>
#include <QLabel>

namespace qos {
namespace {

// Below the notes row (from 5880, 285 high), at the left of the window.
const QRectF CaptionRect(600, 6180, 1560, 240);
const QRectF ChoiceRect(2220, 6165, 1575, 255);

} // namespace

ListParent::ListParent(ListView &view, const Configuration &cfg, LocationEditor &editor,
                       LocationStates &states)
    : QObject(&view)
    , m_view(view)
    , m_cfg(cfg)
    , m_editor(editor)
    , m_states(states)
    , m_choice(new QComboBox(view.centralWidget()))
{
    const TwipsScale scale = TwipsScale::forWidget(&view);
    auto *caption = new QLabel(QStringLiteral("Reached through"), view.centralWidget());
    caption->setObjectName(QStringLiteral("parentCaption"));
    caption->setGeometry(scale.toPixels(CaptionRect));
    caption->setBuddy(m_choice);
    AssignCaptionMnemonics(&view);
    m_choice->setObjectName(QStringLiteral("reachedThrough"));
    m_choice->setGeometry(scale.toPixels(ChoiceRect));
    connect(m_choice, &QComboBox::activated, this, &ListParent::chosen);
    connect(&view, &ListView::locationLoaded, this, &ListParent::refresh);
    refresh();
}

void ListParent::refresh()
{
    const int k = m_view.location();
    m_choice->clear();
    if (k < 1 || k > m_cfg.table.LocationCount())
        return;
    m_choice->addItem(QLatin1String(NoParentText), QString());
    for (int other = 1; other <= m_cfg.table.LocationCount(); ++other) {
        const QString &site = m_cfg.table[other].site;
        if (other != k && m_choice->findData(site) < 0)
            m_choice->addItem(site, site);
    }
    const QString parent = TrimSpaces(m_cfg.table[k].parent);
    if (!parent.isEmpty() && m_choice->findData(parent) < 0)
        m_choice->addItem(parent, parent); // names no location: shown as written
    m_choice->setCurrentIndex(qMax(0, m_choice->findData(parent)));
}

void ListParent::chosen(int index)
{
    const int k = m_view.location();
    if (k < 1 || k > m_cfg.table.LocationCount())
        return;
    const QString parent = m_choice->itemData(index).toString();
    if (parent == TrimSpaces(m_cfg.table[k].parent))
        return;
    if (!m_editor.setParent(k, parent)) {
        refresh(); // told already; the record is as it was
        return;
    }
    m_states.parentsChanged();
    Q_EMIT parentChanged(k);
}

} // namespace qos
