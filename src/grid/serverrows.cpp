#include "grid/serverrows.h"

#include "common/bigdecimal.h"
#include "common/error.h"
#include "datasource/dataset.h"
#include "datasource/resultbuffer.h"
#include "grid/gridutil.h"

#include <algorithm>
#include <numeric>
#include <unordered_map>

namespace rg {

struct ServerRows::Page {
    int group = -1;    // innermost group, -1 without grouping
    int64_t first = 0; // the place of its first row among the group's rows
    std::unique_ptr<ResultBuffer> rows;
    uint64_t used = 0;
    int64_t tied = -1; // rows read that equal its last one in every term, -1 when not known

    bool holds(int g, int64_t offset) const {
        return group == g && offset >= first && offset < first + rows->rows;
    }
};

namespace {

bool readsValue(TdxSummaryType k) {
    return k == TdxSummaryType::cstSum || k == TdxSummaryType::cstMin ||
           k == TdxSummaryType::cstMax || k == TdxSummaryType::cstAvg;
}

// What one summary slot asks of the server: an aggregate (or none) and how its answer
// becomes the value a load in memory would have given.
struct Slot {
    TdxSummaryType kind = TdxSummaryType::cstNone;
    int field = -1;
    int aggregate = -1;
};

class Aggregates {
public:
    explicit Aggregates(const DataSet& ds) : ds_(ds) {}

    Slot slot(TdxSummaryType kind, int field, std::exception_ptr& error) {
        Slot s{kind, field, -1};
        if (!readsValue(kind) || field < 0)
            return s;
        const Field& f = ds_.Fields(field);
        if (f.Kind() == FieldKind::Boolean || isBlobKind(f.Kind())) {
            if (!error)
                error = std::make_exception_ptr(Error(format("Cannot access field '%s' as type %s",
                                                             f.DisplayName().c_str(), "Float")));
            return s;
        }
        const ServerAggregate::Kind k = kind == TdxSummaryType::cstMin ? ServerAggregate::Kind::Min
                                        : kind == TdxSummaryType::cstMax
                                            ? ServerAggregate::Kind::Max
                                            : ServerAggregate::Kind::Sum;
        const auto it = std::find_if(list_.begin(), list_.end(), [&](const ServerAggregate& a) {
            return a.kind == k && a.field == field;
        });
        s.aggregate = static_cast<int>(it - list_.begin());
        if (it == list_.end())
            list_.push_back({k, field});
        return s;
    }
    const std::vector<ServerAggregate>& list() const { return list_; }

    // The value a load in memory gives a slot over `rows` records whose sum, minimum or
    // maximum the server answered. Whole numbers, doubles and dates are added up without a
    // value per cell there: their sum starts as the exact 0 even over no record at all.
    SummaryValue value(const Slot& s, const ServerGroup& g) const {
        SummaryValue v;
        if (!readsValue(s.kind)) {
            v.finish(s.kind, g.rows);
            return v;
        }
        const bool sum = s.kind == TdxSummaryType::cstSum || s.kind == TdxSummaryType::cstAvg;
        if (s.field < 0 || s.aggregate < 0) {
            // An item bound to no field adds a zero for every record.
            if (g.rows > 0 && s.field < 0)
                v.add(s.kind, Value::fromInt(0));
            v.finish(s.kind, g.rows);
            return v;
        }
        const FieldKind fk = ds_.Fields(s.field).Kind();
        const Storage storage = storageFor(fk);
        const bool typed = storage == Storage::Int || storage == Storage::Double || isDateKind(fk);
        const Value& x = g.values[static_cast<size_t>(s.aggregate)];
        if (x.isNull()) {
            if (sum && (typed || g.rows > 0))
                v = SummaryValue::exactValue(Decimal{});
        } else if (isDateKind(fk) && !sum && x.isDateLike()) {
            v = SummaryValue::dateValue(x.micros(), fk == FieldKind::Time);
        } else if (storage == Storage::Double && x.isNumber()) {
            v = sum ? SummaryValue::exactValue(Decimal{}) : SummaryValue{};
            v.add(s.kind, Value::fromDouble(x.asDouble()));
        } else {
            v.add(s.kind, x);
        }
        v.finish(s.kind, g.rows);
        return v;
    }

private:
    const DataSet& ds_;
    std::vector<ServerAggregate> list_;
};

bool sameValues(const std::vector<Value>& a, const std::vector<Value>& b) {
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (a[i].isNull() != b[i].isNull() || (!a[i].isNull() && compareValues(a[i], b[i]) != 0))
            return false;
    return true;
}

std::string pathOf(const std::vector<Value>& keys, size_t count) {
    std::string path;
    for (size_t i = 0; i < count; ++i) {
        appendValueKey(path, keys[i]);
        path += '\x1F';
    }
    return path;
}

// A level's key as memory has it, from the server's: an interval's start.
Value memoryKey(const Value& server, const IntervalSpec& spec) {
    if (spec.kind == GroupInterval::None || server.isNull())
        return server;
    if (spec.kind != GroupInterval::Range)
        return intervalKey(server, spec);
    const std::optional<BigDecimal> exact = server.asBigDecimal();
    return rangeStartOf(exact ? exact->toDouble() : server.asDouble(), spec.width);
}

// Each level's groups with their parents as indices into the level above, ranked by the
// grid's own order of values; ties keep the server's order.
std::vector<std::vector<GroupRow>> groupLevels(const std::vector<ServerGroup>& answer, int levels,
                                               const std::vector<IntervalSpec>& intervals,
                                               std::vector<std::vector<size_t>>& sourceOf) {
    std::vector<std::vector<GroupRow>> made(static_cast<size_t>(levels));
    sourceOf.assign(static_cast<size_t>(levels), {});
    std::vector<std::unordered_map<std::string, int>> indexOf(static_cast<size_t>(levels));
    for (int level = 0; level < levels; ++level) {
        const size_t l = static_cast<size_t>(level);
        for (size_t i = 0; i < answer.size(); ++i) {
            const ServerGroup& g = answer[i];
            if (g.level != level)
                continue;
            GroupRow row;
            row.level = level;
            row.value = g.keys[l];
            row.text = g.keyTexts[l];
            if (l < intervals.size() && intervals[l].kind != GroupInterval::None) {
                row.value = memoryKey(g.keys[l], intervals[l]);
                row.text = intervalText(row.value, intervals[l]);
            }
            row.dataRows = static_cast<int>(g.rows);
            row.firstRecord = static_cast<int>(i);
            if (level > 0) {
                const auto p = indexOf[l - 1].find(pathOf(g.keys, l));
                if (p == indexOf[l - 1].end())
                    throw Error("服务器上的数据在读取时变了：第 " + std::to_string(level + 1) +
                                "层的分组“" + g.keyTexts[l] +
                                "”在上一层中没有它的分组，请重新打开报表");
                row.parent = p->second;
            }
            indexOf[l].emplace(pathOf(g.keys, l + 1), static_cast<int>(made[l].size()));
            made[l].push_back(std::move(row));
            sourceOf[l].push_back(i);
        }
        std::vector<int> order(made[l].size());
        std::iota(order.begin(), order.end(), 0);
        std::stable_sort(order.begin(), order.end(), [&](int a, int b) {
            return compareValues(made[l][static_cast<size_t>(a)].value,
                                 made[l][static_cast<size_t>(b)].value) < 0;
        });
        int rank = 0;
        for (size_t i = 0; i < order.size(); ++i) {
            GroupRow& row = made[l][static_cast<size_t>(order[i])];
            if (i == 0 ||
                compareValues(made[l][static_cast<size_t>(order[i - 1])].value, row.value) != 0)
                ++rank;
            row.rank = row.value.isNull() ? 0 : rank;
        }
    }
    return made;
}

} // namespace

PageOrder pageOrderOf(const RowTree::Order& order, int keyField) {
    PageOrder p;
    p.field = order.field;
    p.down = order.down;
    if (keyField >= 0 && keyField != order.field)
        p.keyFields.push_back(keyField);
    return p;
}

ServerRows::ServerRows(DataSet& ds, std::vector<int> levelFields, PageOrder order,
                       std::vector<IntervalSpec> intervals)
    : ds_(ds), levelFields_(std::move(levelFields)), intervals_(std::move(intervals)),
      order_(std::move(order)), query_(std::make_unique<ServerQuery>(ds)) {
    query_->setLevelIntervals(levelFields_, intervals_);
}

ServerRows::~ServerRows() = default;

ServerRows::Groups ServerRows::groups(const TdxDBGridSummaryGroup& summaries,
                                      const std::vector<FooterSource>& footers,
                                      const std::vector<bool>& levelDown) {
    Groups out;
    Aggregates aggregates(ds_);
    const int levels = static_cast<int>(levelFields_.size());
    std::vector<Slot> itemSlots, footerSlots;
    if (levels > 0)
        for (int i = 0; i < summaries.SummaryItems.Count(); ++i) {
            const TdxDBGridSummaryItem& item = summaries.SummaryItems.Items(i);
            itemSlots.push_back(
                aggregates.slot(item.SummaryType(), item.boundField, out.summaryError));
        }
    for (const FooterSource& f : footers)
        footerSlots.push_back(aggregates.slot(f.kind, f.field, out.summaryError));

    const std::vector<ServerGroup> answer = query_->groups(levelFields_, aggregates.list());
    const auto total = std::find_if(answer.begin(), answer.end(),
                                    [&](const ServerGroup& g) { return g.level == levels; });
    ServerGroup none;
    none.level = levels;
    none.rows = 0;
    none.values.assign(aggregates.list().size(), Value::null());
    const ServerGroup& grand = total == answer.end() ? none : *total;
    // Fields that cannot be summed fail only where there are records to sum.
    if (grand.rows == 0)
        out.summaryError = nullptr;

    std::vector<std::vector<size_t>> sourceOf;
    std::vector<std::vector<GroupRow>> made = groupLevels(answer, levels, intervals_, sourceOf);
    serverKeys_.clear();
    for (const ServerGroup& g : answer)
        serverKeys_.push_back(g.keys);
    for (size_t l = 0; l < made.size(); ++l)
        for (size_t i = 0; i < made[l].size(); ++i) {
            const ServerGroup& g = answer[sourceOf[l][i]];
            for (const Slot& s : itemSlots)
                made[l][i].values.push_back(aggregates.value(s, g));
        }
    for (const Slot& s : footerSlots)
        out.footers.push_back(aggregates.value(s, grand));

    out.tree = RowTree::fromServer(std::move(made), static_cast<int>(grand.rows));
    RowTree::Order order;
    order.levelDown = levelDown;
    out.tree.sort(ds_, order);
    return out;
}

std::unique_ptr<CrossTable> ServerRows::crossTable(const RowTree& tree, int crossField,
                                                   const IntervalSpec& interval,
                                                   TdxSummaryType kind, int valueField) const {
    std::exception_ptr error;
    Aggregates aggregates(ds_);
    const Slot slot = aggregates.slot(kind, valueField, error);
    if (error)
        std::rethrow_exception(error);
    std::vector<int> levels{crossField};
    levels.insert(levels.end(), levelFields_.begin(), levelFields_.end());
    std::vector<IntervalSpec> intervals = intervals_;
    intervals.resize(levelFields_.size());
    intervals.insert(intervals.begin(), interval);
    ServerQuery crossed(ds_);
    crossed.setLevelIntervals(levels, intervals);
    const std::vector<ServerGroup> cells = crossed.groups(levels, aggregates.list());
    const std::vector<ServerGroup> totals = query_->groups(levelFields_, aggregates.list());

    auto out = std::make_unique<CrossTable>();
    out->kind_ = kind;
    if (kind != TdxSummaryType::cstCount && valueField >= 0)
        out->valueKind_ = valueKindOf(ds_.Fields(valueField).Kind());
    // The columns: the groups of the cross field alone, in the grid's order of their keys.
    struct Column {
        Value key;
        std::string text, path;
    };
    std::vector<Column> columns;
    for (const ServerGroup& g : cells)
        if (g.level == 0) {
            Value key = memoryKey(g.keys[0], interval);
            std::string text =
                interval.kind == GroupInterval::None ? g.keyTexts[0] : intervalText(key, interval);
            columns.push_back({std::move(key), std::move(text), pathOf(g.keys, 1)});
        }
    if (columns.size() > static_cast<size_t>(CrossTable::kMaxColumns))
        throw ServerRefusal("在服务器上汇总时交叉表最多有 " +
                            std::to_string(CrossTable::kMaxColumns) + " 列：字段“" +
                            ds_.Fields(crossField).DisplayName() + "”有 " +
                            std::to_string(columns.size()) + " 个不同的值");
    std::stable_sort(columns.begin(), columns.end(), [](const Column& a, const Column& b) {
        return compareValues(a.key, b.key) < 0;
    });
    std::unordered_map<std::string, int> columnOf;
    for (const Column& c : columns) {
        columnOf.emplace(c.path, static_cast<int>(out->columnTexts_.size()));
        out->columnTexts_.push_back(c.text);
    }
    // Each row by its levels' keys: the cells of the cross groups below the cross field,
    // the total of the group of the levels alone; the column totals' row has no key.
    auto rowKey = [](size_t keys, const std::vector<Value>& k, size_t from) {
        std::string key = std::to_string(keys) + ":";
        for (size_t i = from; i < from + keys; ++i) {
            appendValueKey(key, k[i]);
            key += '\x1F';
        }
        return key;
    };
    std::unordered_map<std::string, std::vector<std::pair<int, const ServerGroup*>>> cellsOf;
    for (const ServerGroup& g : cells)
        if (!g.keys.empty())
            cellsOf[rowKey(g.keys.size() - 1, g.keys, 1)].emplace_back(
                columnOf.at(pathOf(g.keys, 1)), &g);
    std::unordered_map<std::string, const ServerGroup*> totalOf;
    for (const ServerGroup& g : totals)
        totalOf[rowKey(g.keys.size(), g.keys, 0)] = &g;
    out->rows_.resize(static_cast<size_t>(tree.groupCount()) + 1);
    auto fill = [&](CrossTable::Row& row, const std::string& key) {
        std::vector<std::pair<int, const ServerGroup*>> found = cellsOf[key];
        std::sort(found.begin(), found.end(),
                  [](const auto& a, const auto& b) { return a.first < b.first; });
        for (const auto& [column, g] : found) {
            row.columns.push_back(column);
            row.cells.push_back(aggregates.value(slot, *g));
        }
        if (const auto it = totalOf.find(key); it != totalOf.end())
            row.total = aggregates.value(slot, *it->second);
    };
    for (int g = 0; g < tree.groupCount(); ++g) {
        const std::vector<Value>& keys = keysOf(tree, g);
        fill(out->rows_[static_cast<size_t>(g)], rowKey(keys.size(), keys, 0));
    }
    fill(out->rows_.back(), rowKey(0, {}, 0));
    return out;
}

void ServerRows::setOrder(const PageOrder& order) {
    order_ = order;
    paged_.reset();
    pages_.clear();
    resume_ = {};
    groupKeys_.clear();
}

std::vector<Value> ServerRows::keysOf(const RowTree& tree, int group) const {
    return serverKeys_.at(static_cast<size_t>(tree.group(group).firstRecord));
}

// A key the data set's primary key is, or the server finds no value of twice, orders the
// rows totally with the sort field: pages by (sort field, key) as an index serves them. Any
// other key leaves ties that a keyset would skip, so every field the server can compare
// breaks them; rows alike in all of those are counted through (see fetch).
const PageOrder& ServerRows::pagedOrder() const {
    if (paged_)
        return *paged_;
    PageOrder p = order_;
    const std::vector<int>& primary = ds_.KeyFields();
    bool total = false;
    if (p.keyFields.size() == 1) {
        const int k = p.keyFields[0];
        if (primary.size() == 1 && primary[0] == k)
            total = true;
        else if (const auto it = unique_.find(k); it != unique_.end())
            total = it->second;
        else
            total = unique_[k] = query_->unique(k);
    }
    std::vector<int> terms;
    for (int f : p.keyFields)
        if (f != p.field && !isBlobKind(ds_.Fields(f).Kind()))
            terms.push_back(f);
    if (!total)
        for (int f = 0; f < ds_.FieldCount(); ++f)
            if (f != p.field && !isBlobKind(ds_.Fields(f).Kind()) &&
                std::find(terms.begin(), terms.end(), f) == terms.end())
                terms.push_back(f);
    p.keyFields = std::move(terms);
    ties_ = !total;
    paged_ = std::move(p);
    return *paged_;
}

std::vector<Value> ServerRows::afterOf(const ResultBuffer& rows) const {
    std::vector<Value> after;
    if (rows.rows == 0)
        return after;
    const PageOrder& order = pagedOrder();
    auto add = [&](int field) {
        after.push_back(rows.columns[static_cast<size_t>(field)].valueAt(rows.rows - 1));
    };
    if (order.field >= 0)
        add(order.field);
    for (int f : order.keyFields)
        add(f);
    return after;
}

int64_t ServerRows::trailingTies(const ResultBuffer& rows) const {
    const PageOrder& order = pagedOrder();
    std::vector<int> fields = order.keyFields;
    if (order.field >= 0)
        fields.push_back(order.field);
    int64_t r = rows.rows - 1;
    auto alike = [&](int64_t a, int64_t b) {
        for (int f : fields) {
            const auto& c = rows.columns[static_cast<size_t>(f)];
            if (!sameValues({c.valueAt(a)}, {c.valueAt(b)}))
                return false;
        }
        return true;
    };
    while (r > 0 && alike(r - 1, rows.rows - 1))
        --r;
    return rows.rows - r;
}

void ServerRows::changed(const RowTree& tree, int group, const char* how) const {
    std::string where = "报表的行";
    if (group >= 0)
        where = "分组“" + tree.group(group).text + "”的行";
    throw Error("服务器上的数据在读取时变了：" + where + how + "，请重新打开报表");
}

// Drops the least recently read pages until `rows` more fit: first the group's own once
// it holds its share, then any.
void ServerRows::makeRoom(int group, int64_t rows) const {
    auto oldest = [&](bool ofGroup) {
        auto best = pages_.end();
        for (auto it = pages_.begin(); it != pages_.end(); ++it)
            if ((!ofGroup || it->group == group) && (best == pages_.end() || it->used < best->used))
                best = it;
        return best;
    };
    const size_t ofGroup = static_cast<size_t>(std::count_if(
        pages_.begin(), pages_.end(), [&](const Page& p) { return p.group == group; }));
    if (ofGroup >= kPagesPerGroup)
        pages_.erase(oldest(true));
    auto kept = [&] {
        int64_t n = 0;
        for (const Page& p : pages_)
            n += p.rows->rows;
        return n;
    };
    while (!pages_.empty() && kept() + rows > kRowsKept)
        pages_.erase(oldest(false));
}

const ServerRows::Page& ServerRows::fetch(const RowTree& tree, int group, int64_t offset) const {
    for (Page& p : pages_)
        if (p.holds(group, offset)) {
            p.used = ++clock_;
            return p;
        }
    // Reading on from the page that ends here pages by keyset, with a longer page; a jump
    // skips rows and reads a page of the usual length.
    // With ties left in the order, reading on skips the rows equal to the last one that
    // were read already; where that count is not known (a page reached by a jump and alike
    // throughout) the next page is a jump too.
    const PageOrder& order = pagedOrder();
    std::vector<Value> after;
    int64_t length = kPageRows, tied = 0;
    auto readOn = [&](const std::vector<Value>& last, int64_t lastLength, int64_t lastTied) {
        if (ties_ && lastTied < 0)
            return;
        after = last;
        tied = ties_ ? lastTied : 0;
        length = std::clamp(lastLength * 2, kPageRows, kLongestPage);
    };
    for (const Page& p : pages_)
        if (p.group == group && p.rows->rows > 0 && p.first + p.rows->rows == offset)
            readOn(afterOf(*p.rows), p.rows->rows, p.tied);
    if (after.empty() && resume_.group == group && resume_.next == offset)
        readOn(resume_.after, resume_.length, resume_.tied);
    const bool jump = after.empty();
    const int64_t first = jump ? offset - offset % kPageRows : offset;
    const std::vector<Value> keys = group < 0 ? std::vector<Value>{} : keysOf(tree, group);
    std::unique_ptr<ResultBuffer> rows = query_->page(
        levelFields_, keys, order, after, jump ? first : tied, static_cast<int>(length));
    const int64_t rowsOfGroup = group < 0 ? tree.dataCount() : tree.group(group).dataRows;
    if (first + rows->rows > rowsOfGroup)
        changed(tree, group, "比汇总时多");
    if (first + rows->rows <= offset)
        changed(tree, group,
                jump ? "比汇总时少，跳到的位置已没有行" : "比汇总时少，接着读时已没有行");
    // The run of rows alike at the end of the page began before it when its first row is
    // one of them; it began within the page unless the page is alike throughout.
    int64_t lastTied = rows->rows > 0 ? trailingTies(*rows) : 0;
    if (lastTied == rows->rows && !after.empty() && sameValues(afterOf(*rows), after))
        lastTied += tied;
    else if (lastTied == rows->rows && jump && first > 0)
        lastTied = -1;
    makeRoom(group, rows->rows);
    resume_ = {group, first + rows->rows, rows->rows, afterOf(*rows), lastTied};
    pages_.push_back(Page{group, first, std::move(rows), ++clock_, lastTied});
    return pages_.back();
}

const ResultBuffer& ServerRows::rowPage(const RowTree& tree, int dataRow, int64_t* row) const {
    int group = -1;
    int64_t offset = dataRow;
    if (tree.levels() > 0) {
        group = tree.parent(RowHandle::data(dataRow)).index;
        offset = dataRow - tree.group(group).firstData;
    }
    const Page& page = fetch(tree, group, offset);
    *row = offset - page.first;
    return *page.rows;
}

Value ServerRows::value(const RowTree& tree, int dataRow, int field) const {
    int64_t row = 0;
    const ResultBuffer& page = rowPage(tree, dataRow, &row);
    return page.columns[static_cast<size_t>(field)].valueAt(row);
}

std::string ServerRows::text(const RowTree& tree, int dataRow, int field) const {
    int64_t row = 0;
    const ResultBuffer& page = rowPage(tree, dataRow, &row);
    return page.columns[static_cast<size_t>(field)].displayTextAt(row);
}

Value ServerRows::groupKey(const RowTree& tree, int group, int keyField) const {
    const auto it = groupKeys_.find(group);
    if (it != groupKeys_.end())
        return it->second;
    const int first = tree.group(group).firstData;
    Value key = first < tree.dataCount() ? value(tree, first, keyField) : Value{};
    groupKeys_.emplace(group, key);
    return key;
}

std::vector<Value> ServerRows::distinct(int field, int limit, std::vector<int64_t>* rows) const {
    return query_->distinct(field, limit, rows);
}

} // namespace rg
