// Walks over the elements of a subtree without recursion: a laser-scanned
// stem may be hundreds of thousands of levels deep, far more than the call
// stack holds one frame per level. Children in array order, empty slots
// skipped; visit(element, segment) gets the element and, when it is a
// segment, the same pointer as a CSegment (else null).
#pragma once

#include <cstdint>
#include <vector>

#include "elements/segment.h"

// Every element from top down, each parent before its children (pre-order).
// An element's children are taken before it is visited, so visit may
// destroy the element it is given.
template <class Visit>
void forEachPreOrder(CTreeElement* top, Visit visit)
{
    std::vector<CTreeElement*> pending;
    if (top)
        pending.push_back(top);
    while (!pending.empty()) {
        CTreeElement* element = pending.back();
        pending.pop_back();
        CSegment* segment = dynamic_cast<CSegment*>(element);
        if (segment && segment->children)
            for (uint32_t i = segment->childCount; i-- > 0;)
                if (segment->children[i])
                    pending.push_back(segment->children[i]);
        visit(element, segment);
    }
}

// Every element from top down, each parent after all its children
// (post-order).
template <class Visit>
void forEachPostOrder(CTreeElement* top, Visit visit)
{
    struct Open {
        CSegment* segment;
        uint32_t next;  // the child to enter next
    };
    std::vector<Open> open;
    auto enter = [&](CTreeElement* element) {
        CSegment* segment = dynamic_cast<CSegment*>(element);
        if (segment && segment->children)
            open.push_back({segment, 0});
        else
            visit(element, segment);
    };
    if (top)
        enter(top);
    while (!open.empty()) {
        Open& last = open.back();
        if (last.next < last.segment->childCount) {
            if (CTreeElement* child = last.segment->children[last.next++])
                enter(child);
        } else {
            CSegment* segment = last.segment;
            open.pop_back();
            visit(static_cast<CTreeElement*>(segment), segment);
        }
    }
}
