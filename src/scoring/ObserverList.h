#pragma once

// The observers of an event or a list. An observer may add or remove observers, itself included,
// from inside a notice: every observer registered when a notice starts and not removed before its
// turn hears it, and one added during a notice hears it too.

#include <algorithm>
#include <cstddef>
#include <vector>

template <class Observer>
class ObserverList {
public:
    void Add(Observer* observer) {
        if (observer && std::find(m_items.begin(), m_items.end(), observer) == m_items.end())
            m_items.push_back(observer);
    }

    void Remove(Observer* observer) {
        const auto found = std::find(m_items.begin(), m_items.end(), observer);
        if (found == m_items.end()) return;
        if (m_depth == 0) {
            m_items.erase(found);
        } else {
            *found = nullptr;  // a notice is walking the list: keep the places of the others
            m_holes = true;
        }
    }

    template <class Call>
    void Notify(Call&& call) {
        struct Depth {
            explicit Depth(ObserverList& list) : owner(list) { ++owner.m_depth; }
            Depth(const Depth&) = delete;
            Depth& operator=(const Depth&) = delete;
            ~Depth() {
                if (--owner.m_depth == 0 && owner.m_holes) {
                    std::erase(owner.m_items, nullptr);
                    owner.m_holes = false;
                }
            }
            ObserverList& owner;
        } depth(*this);
        for (size_t i = 0; i < m_items.size(); ++i) {
            if (Observer* observer = m_items[i]) call(*observer);
        }
    }

private:
    std::vector<Observer*> m_items;
    int m_depth = 0;
    bool m_holes = false;
};
