#include <QCoreApplication>
#include <gtest/gtest.h>

int main(int argc, char **argv)
{
    // Qt Sql and the text codecs want an application object.
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
