#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "document/container.h"
#include "document/control.h"
#include "document/parameter_tree.h"

namespace tf {
namespace {

class MeterControl : public CControl {
public:
    bool is_output() const override { return true; }
};

template <class T = CControl>
CControl& add_control(CContainer& box, const std::string& title) {
    auto control = std::make_unique<T>();
    control->title = title;
    return static_cast<CControl&>(box.add_child(std::move(control)));
}

std::vector<std::string> names(const std::vector<generic_parameter*>& list) {
    std::vector<std::string> out;
    for (auto* p : list) out.push_back(p->name());
    return out;
}

TEST(ParameterTree, WalksNestedContainersInChildOrder) {
    CContainer main;
    add_control(main, "first added");
    auto& inner = static_cast<CContainer&>(main.add_child(std::make_unique<CContainer>()));
    add_control(inner, "inner");
    add_control(main, "last added");
    std::vector<generic_parameter*> list;
    walk_parameter_tree(main, list);
    // Non-wire children go to the front, so the newest comes first.
    EXPECT_EQ(names(list), (std::vector<std::string>{"last added", "inner", "first added"}));
}

TEST(ParameterTree, HostOrderPutsOutputsLastThenComparesBytes) {
    CContainer main;
    add_control<MeterControl>(main, "Alpha meter");
    add_control(main, "b");
    add_control(main, "Same");
    add_control(main, "B");
    auto& twin = add_control(main, "Same");
    const auto sorted = sorted_parameter_tree(main);
    ASSERT_EQ(sorted.size(), 5u);
    EXPECT_EQ(names(sorted), (std::vector<std::string>{"B", "Same", "Same", "b", "Alpha meter"}));
    // The later-added twin sits earlier in the tree, and equal keys keep tree order.
    EXPECT_EQ(sorted[1], static_cast<generic_parameter*>(&twin));
}

TEST(ParameterTree, OrderKeysTable) {
    struct Case { bool a_out; const char* a; bool b_out; const char* b; bool before; };
    const Case cases[] = {
        {false, "z", true, "a", true},   {true, "a", false, "z", false}, {false, "A", false, "a", true},
        {false, "a", false, "a", false}, {false, "ab", false, "a", false}, {false, "\xE9", false, "z", false},
    };
    for (const auto& c : cases) EXPECT_EQ(host_order_before(c.a_out, c.a, c.b_out, c.b), c.before) << c.a << " / " << c.b;
}

}  // namespace
}  // namespace tf
