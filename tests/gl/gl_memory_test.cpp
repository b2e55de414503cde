// Presenting hands each frame to the driver even where the swap does not (the offscreen
// driver's pbuffer): frames that are never read back must not pile up in memory.
#include <fstream>

#include "gfx/primitive_meshes.h"
#include "tests/gl/gl_test_support.h"

namespace {

// The process's resident memory in KiB, from /proc.
long residentKiB() {
    std::ifstream statm("/proc/self/statm");
    long size = 0, resident = 0;
    statm >> size >> resident;
    return resident * (sysconf(_SC_PAGESIZE) / 1024);
}

TEST_F(GlDeviceTest, FramesThatAreOnlyPresentedDoNotPileUp) {
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "the address sanitizer holds freed memory back";
#endif
    setGameView();
    setGameLight();
    auto sprite = dev->createSprite();
    auto texture = dev->createTexture(
        argbImage(64, 64, [](uint32_t x, uint32_t y) { return 0xFF000000u | x << 10 | y; }));
    auto square = wall(10, 4);
    ASSERT_TRUE(sprite && texture && square);
    // A frame as the game's: a clear, a turning sprite, a hundred mesh draws, the present.
    auto frame = [&](int i) {
        dev->clear(kClearTarget | kClearZBuffer, 0xFF7FEFFA, 1, 0);
        dev->beginScene();
        Vec2 move{100, 100};
        EXPECT_TRUE(
            sprite->draw(texture.get(), nullptr, nullptr, nullptr, 0.01f * i, &move, 0xFFFFFFFF));
        for (int k = 0; k < 100; ++k) {
            dev->setTransform(TransformState::World,
                              matrixTranslation(static_cast<float>(k % 20) - 10,
                                                static_cast<float>(k / 20) - 7, 0));
            setSolidMaterial(0.01f * static_cast<float>(k % 100), 0.5f, 0.5f);
            EXPECT_TRUE(square->drawSubset(0));
        }
        dev->endScene();
        EXPECT_TRUE(dev->present());
    };
    for (int i = 0; i < 20; ++i) frame(i);
    const long before = residentKiB();
    for (int i = 100; i < 400; ++i) frame(i);
    const long grown = residentKiB() - before;
    // Kept frames would cost well over 100 KiB each: 300 of them some 30 MB or more.
    EXPECT_LT(grown, 12 * 1024) << "resident memory grew by " << grown << " KiB in 300 frames";
}

}  // namespace
