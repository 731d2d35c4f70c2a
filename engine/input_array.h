#pragma once
// The variable of a multi-input audio pin: one entry per source, in
// connection order.

#include <cstdint>
#include <vector>

namespace tf {

class UPlug;
class UConnection;
class USampBlock;

class BaseInputArray {
public:
    virtual ~BaseInputArray() = default;

    int count() const { return static_cast<int>(states_.size()); }
    // The identity of source i.
    virtual const void* source(int i) const = 0;
    // Appends `from` with state ST_STOP.
    virtual void AddSource(UPlug* from) = 0;
    // Removes the entry of the connection's source.
    virtual void RemoveSource(const UConnection* connection) = 0;
    // Sets the state of every entry whose identity is the connection's source.
    void SetSourceState(const UConnection* connection, int state);
    int state(int i) const { return states_[static_cast<std::size_t>(i)]; }

protected:
    virtual const void* IdentityOf(const UPlug* from) const = 0;
    std::vector<std::int32_t> states_;
};

struct adder_input_info {
    USampBlock* source_block = nullptr;
    float static_value = 0.0f;
};

class InputArray_Float : public BaseInputArray {
public:
    const void* source(int i) const override { return entries[static_cast<std::size_t>(i)].source_block; }
    void AddSource(UPlug* from) override;
    void RemoveSource(const UConnection* connection) override;

    std::vector<adder_input_info> entries;

protected:
    const void* IdentityOf(const UPlug* from) const override;
};

}  // namespace tf
