#include "prallwerk/collision/contact_components.h"

namespace prallwerk {

namespace {

constexpr size_t none = static_cast<size_t>(-1);

bool moves(const SolverBody& s) { return s.body != nullptr && s.inverseMass > 0.0; }

size_t rootOf(std::vector<size_t>& parent, size_t i) {
    while (parent[i] != i) {
        parent[i] = parent[parent[i]];  // halve the path
        i = parent[i];
    }
    return i;
}

}  // namespace

void ContactComponents::split(const std::vector<SolverBody>& bodies, const std::vector<SolverContact>& contacts) {
    runs.clear();
    ends.clear();
    inOrder_.clear();
    const size_t n = contacts.size();
    for (size_t first = 0; first < n;) {
        size_t last = first + 1;
        while (last < n && contacts[last].a == contacts[first].a && contacts[last].b == contacts[first].b) ++last;
        inOrder_.push_back({first, last});
        first = last;
    }
    if (inOrder_.empty()) return;

    // Bodies that move are joined through every pair they share.
    parent_.resize(bodies.size());
    for (size_t i = 0; i < bodies.size(); ++i) parent_[i] = i;
    for (const Run& r : inOrder_) {
        const size_t a = static_cast<size_t>(contacts[r.first].a), b = static_cast<size_t>(contacts[r.first].b);
        if (!moves(bodies[a]) || !moves(bodies[b])) continue;
        const size_t ra = rootOf(parent_, a), rb = rootOf(parent_, b);
        if (ra != rb) parent_[rb] = ra;
    }

    // Each run's set, numbered in the order of the runs; a run with no body
    // that moves is a set of its own.
    setOf_.assign(bodies.size(), none);
    runSet_.resize(inOrder_.size());
    size_t sets = 0;
    for (size_t k = 0; k < inOrder_.size(); ++k) {
        const size_t a = static_cast<size_t>(contacts[inOrder_[k].first].a);
        const size_t b = static_cast<size_t>(contacts[inOrder_[k].first].b);
        const size_t mover = moves(bodies[a]) ? a : moves(bodies[b]) ? b : none;
        if (mover == none) {
            runSet_[k] = sets++;
            continue;
        }
        size_t& set = setOf_[rootOf(parent_, mover)];
        if (set == none) set = sets++;
        runSet_[k] = set;
    }

    // The runs sorted by set, each set's kept in order (a counting sort).
    counts_.assign(sets + 1, 0);
    for (size_t k = 0; k < inOrder_.size(); ++k) ++counts_[runSet_[k] + 1];
    for (size_t s = 1; s <= sets; ++s) counts_[s] += counts_[s - 1];
    ends.assign(counts_.begin() + 1, counts_.end());
    runs.resize(inOrder_.size());
    for (size_t k = 0; k < inOrder_.size(); ++k) runs[counts_[runSet_[k]]++] = inOrder_[k];
}

}  // namespace prallwerk
