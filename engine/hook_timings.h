#pragma once
// Timings of the keyboard hook's own work, in microseconds, kept in a fixed
// ring so that recording never allocates. Main thread only.

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace calmirande {

class HookTimings {
public:
    static constexpr std::size_t Capacity = 4096;

    void record(double microseconds) noexcept {
        samples_[count_ % Capacity] = static_cast<float>(microseconds);
        ++count_;
    }
    std::size_t count() const { return count_; }

    // The p-th percentile (0 to 100) of the samples kept, 0 without samples.
    double percentile(double p) const {
        const std::size_t kept = std::min(count_, Capacity);
        if (kept == 0) return 0;
        std::vector<float> sorted(samples_.begin(), samples_.begin() + static_cast<std::ptrdiff_t>(kept));
        std::sort(sorted.begin(), sorted.end());
        const auto index = static_cast<std::size_t>(p / 100.0 * static_cast<double>(kept - 1) + 0.5);
        return sorted[std::min(index, kept - 1)];
    }

private:
    std::array<float, Capacity> samples_{};
    std::size_t count_ = 0;
};

}  // namespace calmirande
