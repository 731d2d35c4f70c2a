// "Float Adder" summing many running sources: every grouping of sources
// (fours, a pair, a single one) adds up, with and without a static part.

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "level_test_support.h"
#include "modules/ug_adder.h"

namespace tf {
namespace {

using testing::AddSequence;
using testing::AddSteps;
using testing::EngineFixture;
using testing::Probe;

TEST(AdderManySources, RunningSourcesInEveryGroupSizeAddUp) {
    for (int running : {1, 2, 3, 4, 5, 7, 16}) {
        for (bool with_static : {false, true}) {
            SCOPED_TRACE(::testing::Message() << running << " running, static " << with_static);
            EngineFixture f;
            auto* adder = f.Add<ug_adder>(10);
            std::vector<std::vector<float>> signals;
            for (int s = 0; s < running; ++s) {
                std::vector<float> v;
                for (int i = 0; i < 300; ++i) v.push_back(std::sin(0.01f * static_cast<float>((s + 1) * i)));
                signals.push_back(v);
                ConnectPlugs(AddSequence(f, v)->GetPlug(0), adder->GetPlug(1));
            }
            if (with_static) ConnectPlugs(AddSteps(f, 2.5f, {})->GetPlug(0), adder->GetPlug(1));
            auto* out = Probe(f, adder->GetPlug(0));
            f.Start();
            f.master.Process(300);
            EXPECT_EQ(adder->running_count(), running);
            for (int i = 0; i < 300; i += 11) {
                double want = with_static ? 0.25 : 0.0;
                for (const auto& v : signals) want += v[static_cast<std::size_t>(i)] * 0.1;
                ASSERT_NEAR(out->samples[static_cast<std::size_t>(i)], want, 1e-5) << i;
            }
        }
    }
}

}  // namespace
}  // namespace tf
