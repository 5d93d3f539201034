#pragma once

// A node that computes each row of a batch from the same rows of its arguments with one
// function, inlined into the loop. Strict nodes give null wherever an argument is null and
// call the function on the other rows only; the others see every row and set null themselves.

#include "calc/calcnodes.h"

#include <utility>
#include <vector>

namespace rg::calc {

template <class F, bool Strict> class MapNode : public Node {
public:
    MapNode(Type t, std::vector<NodePtr> args, F f) : Node(t), args_(std::move(args)), f_(f) {}

private:
    void eval(const Batch& b, Vec& out) override {
        inputs_.resize(args_.size());
        for (size_t a = 0; a < args_.size(); ++a)
            inputs_[a] = &args_[a]->run(b);
        out.reset(type, b.n);
        const Vec* const* in = inputs_.data();
        for (int r = 0; r < b.n; ++r) {
            if constexpr (Strict) {
                uint8_t null = 0;
                for (size_t a = 0; a < inputs_.size(); ++a)
                    null |= in[a]->null[static_cast<size_t>(r)];
                if (null) {
                    out.null[static_cast<size_t>(r)] = 1;
                    continue;
                }
            }
            f_(in, r, out);
        }
    }
    std::vector<NodePtr> args_;
    std::vector<const Vec*> inputs_;
    F f_;
};

template <class F> NodePtr mapStrict(Type t, std::vector<NodePtr> args, F f) {
    return std::make_unique<MapNode<F, true>>(t, std::move(args), f);
}

template <class F> NodePtr mapStrict(Type t, NodePtr arg, F f) {
    std::vector<NodePtr> args;
    args.push_back(std::move(arg));
    return mapStrict(t, std::move(args), f);
}

template <class F> NodePtr mapAny(Type t, std::vector<NodePtr> args, F f) {
    return std::make_unique<MapNode<F, false>>(t, std::move(args), f);
}

} // namespace rg::calc
