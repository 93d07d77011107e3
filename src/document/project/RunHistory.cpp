#include "document/project/RunHistory.h"

#include <algorithm>
#include <charconv>

namespace orvanel {

namespace {

const std::string RunPrefix = "Run ";

// N of a name "Run N", 0 for any other name.
int RunNumber(const std::string& name) {
    if (name.rfind(RunPrefix, 0) != 0)
        return 0;
    int number = 0;
    const char* end = name.data() + name.size();
    const auto [rest, error] = std::from_chars(name.data() + RunPrefix.size(), end, number);
    return error == std::errc() && rest == end ? number : 0;
}

} // namespace

KeptModel& RunHistory::Add(KeptModel model) {
    if (model.Name.empty())
        model.Name = RunPrefix + std::to_string(runs_ + 1);
    runs_ = std::max(runs_, RunNumber(model.Name));
    model.Id = nextId_++;
    models_.push_back(std::move(model));
    chosen_ = models_.size() - 1;
    unsaved_ = true;
    return models_.back();
}

void RunHistory::Rename(std::size_t index, std::string name) {
    if (index >= models_.size() || name.empty() || models_[index].Name == name)
        return;
    models_[index].Name = std::move(name);
    unsaved_ = true;
}

void RunHistory::Remove(std::size_t index) {
    if (index >= models_.size())
        return;
    models_.erase(models_.begin() + static_cast<std::ptrdiff_t>(index));
    unsaved_ = true;
    if (models_.empty()) {
        chosen_.reset();
    } else if (*chosen_ == index) {
        chosen_ = models_.size() - 1;
    } else if (*chosen_ > index) {
        --*chosen_;
    }
}

void RunHistory::Choose(std::size_t index) {
    if (index < models_.size())
        chosen_ = index;
}

void RunHistory::SetOverlaid(std::size_t index, bool overlaid) {
    if (index < models_.size())
        models_[index].Overlaid = overlaid;
}

KeptModel* RunHistory::Find(int id) {
    const auto found = std::find_if(models_.begin(), models_.end(),
                                    [id](const KeptModel& model) { return model.Id == id; });
    return found != models_.end() ? &*found : nullptr;
}

} // namespace orvanel
