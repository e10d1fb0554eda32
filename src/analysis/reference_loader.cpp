#include "analysis/reference_loader.h"

namespace veskari {
namespace {

struct FoundUpdate {
    std::uint32_t signature;
    std::uint32_t platformMask;
    std::uint32_t revision;
    std::uint32_t date;
};

class UpdateList final : public UnitObserver {
public:
    void UpdateAccepted(const FileInfo& /*file*/, const UpdateRecord& update) override
    {
        updates.push_back(
            FoundUpdate{update.LineSignature(), update.LinePlatformFlags(), update.header.revision, update.header.date});
    }

    std::vector<FoundUpdate> updates;
};

class ReferenceClient final : public RunClient {
public:
    ReferenceClient(ReleaseReference& reference, ReferenceLoad& load) : reference_(reference), load_(load) {}

    std::unique_ptr<UnitObserver> UnitStarted(const RunUnit& /*unit*/) override
    {
        return std::make_unique<UpdateList>();
    }
    void ReportAppended(const std::string& /*text*/) override {}
    void UnitFinished(UnitResult& result) override
    {
        if (const auto* list = static_cast<const UpdateList*>(result.observer)) {
            for (const FoundUpdate& update : list->updates) {
                reference_.Add(update.signature, update.platformMask, update.revision, update.date);
            }
            load_.updates += list->updates.size();
        }
        load_.problems.insert(load_.problems.end(), result.problems.begin(), result.problems.end());
    }

private:
    ReleaseReference& reference_;
    ReferenceLoad& load_;
};

}  // namespace

ReferenceLoad AddReference(ReleaseReference& reference, const std::string& path, unsigned jobs)
{
    ReferenceLoad load;
    reference.BeginSource(path);
    ReferenceClient client(reference, load);
    RunSettings settings;
    settings.jobs = jobs;
    settings.formats = MicrocodeFormats::all;
    RunEngine engine(settings, client);
    load.failure = engine.Run({path}).failure;
    reference.Seal();
    return load;
}

}  // namespace veskari
