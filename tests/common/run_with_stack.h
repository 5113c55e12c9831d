// Runs a test's work on a thread with a stack of a chosen size, so that the
// deep-hierarchy tests fail by crashing if any walk recurses.
#pragma once

#include <pthread.h>

#include <cstddef>
#include <functional>

#include <gtest/gtest.h>

// Runs work on a new thread with a stack of the given size and waits for it.
inline void runWithStack(size_t bytes, const std::function<void()>& work)
{
    pthread_attr_t attr;
    ASSERT_EQ(pthread_attr_init(&attr), 0);
    ASSERT_EQ(pthread_attr_setstacksize(&attr, bytes), 0);
    pthread_t thread;
    auto run = [](void* arg) -> void* {
        (*static_cast<const std::function<void()>*>(arg))();
        return nullptr;
    };
    ASSERT_EQ(pthread_create(&thread, &attr, run, const_cast<std::function<void()>*>(&work)), 0);
    pthread_join(thread, nullptr);
    pthread_attr_destroy(&attr);
}
