#include "ToolSuggestions.h"

#include <algorithm>

#include "ToolClassPath.h"
#include "ToolNames.h"
#include "ToolReport.h"
#include "ornith/library/VQClassLibrary.h"
#include "ornith/stores/VQClassStore.h"

namespace ornith::tool {

namespace {

// Edit distance (insertions, deletions, substitutions, adjacent swaps), or limit + 1 as
// soon as it must exceed the limit.
size_t editDistance(std::string_view a, std::string_view b, size_t limit) {
    if ((a.size() > b.size() ? a.size() - b.size() : b.size() - a.size()) > limit) return limit + 1;
    std::vector<size_t> before(b.size() + 1), previous(b.size() + 1), current(b.size() + 1);
    for (size_t j = 0; j <= b.size(); ++j) previous[j] = j;
    for (size_t i = 1; i <= a.size(); ++i) {
        current[0] = i;
        size_t rowBest = current[0];
        for (size_t j = 1; j <= b.size(); ++j) {
            const size_t cost = a[i - 1] == b[j - 1] ? 0 : 1;
            current[j] = std::min({previous[j] + 1, current[j - 1] + 1, previous[j - 1] + cost});
            if (i > 1 && j > 1 && a[i - 1] == b[j - 2] && a[i - 2] == b[j - 1])
                current[j] = std::min(current[j], before[j - 2] + 1);
            rowBest = std::min(rowBest, current[j]);
        }
        if (rowBest > limit) return limit + 1;
        before.swap(previous);
        previous.swap(current);
    }
    return previous[b.size()];
}

// Close enough to be worth suggesting: a slip of a key or two, or a difference of case.
size_t suggestionLimit(std::string_view word) {
    return std::max<size_t>(1, word.size() / 3);
}

std::string lowered(std::string_view text) {
    std::string lower(text);
    for (char& c : lower)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return lower;
}

// The words nearest to `word`, best first, at most three.
std::vector<std::string> nearestWords(const std::vector<std::string>& words,
                                      std::string_view word) {
    const size_t limit = suggestionLimit(word);
    const std::string lower = lowered(word);
    std::vector<std::pair<size_t, std::string>> scored;
    for (const std::string& candidate : words) {
        if (candidate == word) continue;
        size_t distance = editDistance(word, candidate, limit);
        // A difference of case alone counts as the smallest slip.
        if (distance > 1 && lowered(candidate) == lower) distance = 1;
        if (distance <= limit) scored.emplace_back(distance, candidate);
    }
    std::sort(scored.begin(), scored.end());
    if (!scored.empty()) {
        const size_t best = scored.front().first;
        scored.erase(std::remove_if(scored.begin(), scored.end(),
                                    [best](const auto& s) { return s.first > best; }),
                     scored.end());
    }
    std::vector<std::string> nearest;
    for (size_t i = 0; i < scored.size() && i < 3; ++i) nearest.push_back(scored[i].second);
    return nearest;
}

std::string qualified(std::string_view package, std::string_view name) {
    return package.empty() ? std::string(name) : std::string(package) + "." + std::string(name);
}

}  // namespace

std::vector<std::string> nearestClassNames(const VQClassLibrary& library, std::string_view typed) {
    const std::string name = typedBinaryName(typed);
    const size_t dot = name.rfind('.');
    const std::string package = dot == std::string::npos ? std::string() : name.substr(0, dot);
    const std::string simple = dot == std::string::npos ? name : name.substr(dot + 1);
    std::vector<std::string> suggestions;
    const auto& stores = library.classStores();
    if (package.empty() || std::any_of(stores.begin(), stores.end(), [&](const auto& store) {
            return store->containsPackageName(package);
        })) {
        // The package is there: the classes in it nearest to the one asked for.
        for (const std::string& near : nearestWords(library.classNamesInPackage(package), simple))
            suggestions.push_back(qualified(package, near));
        return suggestions;
    }
    // A package that is not there: the same class in the packages nearest to it.
    const size_t up = package.rfind('.');
    const std::string parent = up == std::string::npos ? std::string() : package.substr(0, up);
    const std::string last = up == std::string::npos ? package : package.substr(up + 1);
    for (const std::string& near : nearestWords(library.packageNamesInPackage(parent), last)) {
        const std::string candidate = qualified(qualified(parent, near), simple);
        if (library.classStoreNameForClassWithName(candidate)) suggestions.push_back(candidate);
    }
    return suggestions;
}

void reportNotFound(ToolLibrary& result, std::string_view name) {
    addPendingEntries(result);
    std::string reason = "not found";
    const auto nearest = nearestClassNames(*result.library, name);
    if (!nearest.empty()) {
        reason += " (did you mean ";
        for (size_t i = 0; i < nearest.size(); ++i)
            reason.append(i == 0 ? "" : " or ").append(nearest[i]);
        reason += "?)";
    } else if (result.noJdkFound) {
        reason += " (no JDK found: give --system JDK or set JAVA_HOME)";
    }
    reportFailure(name, reason);
}

}  // namespace ornith::tool
