#include "store/parents.h"

#include "store/text.h"

#include <QHash>

#include <algorithm>

namespace qos {
namespace {

// Cuts every loop the links hold: the locations on it keep no parent, and are named.
void CutLoops(std::vector<int> &parent, const LocationTable &table, QStringList &warnings)
{
    enum Mark : char { Unseen, OnPath, Done };
    std::vector<Mark> mark(parent.size(), Unseen);
    std::vector<int> path;
    for (int start = 1; start < int(parent.size()); ++start) {
        path.clear();
        int k = start;
        while (k != 0 && mark[size_t(k)] == Unseen) {
            mark[size_t(k)] = OnPath;
            path.push_back(k);
            k = parent[size_t(k)];
        }
        if (k != 0 && mark[size_t(k)] == OnPath) {
            QStringList names;
            for (auto it = std::find(path.begin(), path.end(), k); it != path.end(); ++it) {
                names << table[*it].site;
                parent[size_t(*it)] = 0;
            }
            warnings << QStringLiteral("PARENT= lines of %1 lead round in a loop; they are ignored.")
                            .arg(names.join(QStringLiteral(", ")));
        }
        for (const int on : path)
            mark[size_t(on)] = Done;
    }
}

} // namespace

ParentLinks ResolveParents(const LocationTable &table)
{
    ParentLinks links;
    links.parent.assign(size_t(table.LocationCount()) + 1, 0);
    QHash<QString, int> byName; // the lowest index of each name, as FindLocationByName has it
    for (int k = table.LocationCount(); k >= 1; --k)
        byName.insert(TrimSpaces(table[k].site), k);
    for (int k = 1; k <= table.LocationCount(); ++k) {
        const QString name = TrimSpaces(table[k].parent);
        if (name.isEmpty())
            continue;
        const int p = byName.value(name);
        if (p == 0) {
            links.warnings
                << QStringLiteral("%1: PARENT=%2 names no location; it is ignored.").arg(table[k].site, name);
            continue;
        }
        links.parent[size_t(k)] = p == k ? 0 : p;
        if (p == k)
            links.warnings
                << QStringLiteral("%1: PARENT= names the location itself; it is ignored.").arg(table[k].site);
    }
    CutLoops(links.parent, table, links.warnings);
    return links;
}

} // namespace qos
