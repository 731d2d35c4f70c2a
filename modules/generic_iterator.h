#pragma once
// The iteration protocol shared by the system's list walkers: First, then
// Next until IsDone; Current is valid while not done.

namespace tf {

template <class T>
class GenericIterator {
public:
    virtual ~GenericIterator() = default;
    virtual void First() = 0;
    virtual void Next() = 0;
    virtual bool IsDone() const = 0;
    virtual const T& Current() const = 0;
};

}  // namespace tf
