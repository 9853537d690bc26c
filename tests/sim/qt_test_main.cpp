#include <QCoreApplication>

#include <gtest/gtest.h>

// The TCP tests wait in nested event loops and start processes, which need an application object.
int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
