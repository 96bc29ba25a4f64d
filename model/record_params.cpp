#include "record_params.h"

namespace record {

namespace {

using readerfamily::Family;

ParamsOutcome refused(std::string reason) {
    return {ParamsFailure::Refused, std::move(reason), nullptr, {}};
}

ParamsOutcome readerFailure(std::string reason) {
    return {ParamsFailure::Reader, std::move(reason), nullptr, {}};
}

std::optional<RecordPlan> planOf(Family family, std::string_view name, ParamsOutcome &failure) {
    std::optional<RecordPlan> plan = planFor(name, family);
    if (plan) return plan;
    const bool known =
        name == deviceRecord.name || name == networkRecord.name || name == specialRecord.name;
    // "alder readers have": no article, which would have to change with the family's name.
    failure = known ? refused(std::string(readerfamily::traitsOf(family).name) +
                              " readers have no " + std::string(name) + " record")
                    : refused("no record \"" + std::string(name) +
                              "\": the records are device, network and special");
    return plan;
}

std::optional<ParamRecord> readWhole(const RecordAccess &reader, const RecordPlan &plan) {
    std::optional<ParamRecord> read = reader.read(plan.kind, plan.readLength);
    if (read) read->bytes.resize(static_cast<std::size_t>(plan.readLength), 0);
    return read;
}

std::string notRead(const RecordPlan &plan) {
    return "the reader did not give its " + std::string(plan.table->name) + " record";
}

}  // namespace

ParamsOutcome getParams(const RecordAccess &reader, Family family, std::string_view name) {
    ParamsOutcome outcome;
    const std::optional<RecordPlan> plan = planOf(family, name, outcome);
    if (!plan) return outcome;
    std::optional<ParamRecord> read = readWhole(reader, *plan);
    if (!read) return readerFailure(notRead(*plan));
    outcome.table = plan->table;
    outcome.bytes = std::move(read->bytes);
    return outcome;
}

ParamsOutcome setParams(const RecordAccess &reader, Family family, std::string_view name,
                        std::span<const std::string> assignments) {
    ParamsOutcome outcome;
    const std::optional<RecordPlan> plan = planOf(family, name, outcome);
    if (!plan) return outcome;
    std::string reason;
    const auto changes = parseAssignments(*plan, family, assignments, reason);
    if (!changes) return refused(reason);
    std::optional<ParamRecord> image = readWhole(reader, *plan);
    if (!image) return readerFailure(notRead(*plan));
    record::apply(*changes, image->bytes);
    image->bytes.resize(static_cast<std::size_t>(plan->writeLength), 0);
    if (!reader.write(plan->kind, *image)) {
        return readerFailure("the reader did not take the " + std::string(plan->table->name) +
                             " record");
    }
    outcome.table = plan->table;
    return outcome;
}

ParamsOutcome defaultParams(const RecordAccess &reader, Family family, std::string_view name) {
    ParamsOutcome outcome;
    const std::optional<RecordPlan> plan = planOf(family, name, outcome);
    if (!plan) return outcome;
    if (plan->kind == RecordKind::Special) {
        return refused("the special record has no factory values to restore");
    }
    if (!reader.restoreDefault(plan->kind)) {
        return readerFailure("the reader did not restore its " + std::string(plan->table->name) +
                             " record");
    }
    outcome.table = plan->table;
    return outcome;
}

std::vector<std::string> assignmentLines(const RecordTable &table, Family family,
                                         std::span<const std::uint8_t> record) {
    std::vector<std::string> lines;
    for (const Field &field : table.fields) {
        if (find(table, field.name, family) != &field) continue;
        const Value shown = namedValue(field, decode(field, record));
        const auto *flag = std::get_if<bool>(&shown);
        const auto *number = std::get_if<std::int64_t>(&shown);
        const std::string text = flag     ? (*flag ? "true" : "false")
                                 : number ? std::to_string(*number)
                                          : std::get<std::string>(shown);
        lines.push_back(std::string(field.name) + "=" + text);
    }
    return lines;
}

}  // namespace record
