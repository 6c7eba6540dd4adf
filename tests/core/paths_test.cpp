#include "document/paths.h"

#include <gtest/gtest.h>

TEST(Paths, FileKindLooksAtTheLastThreeCharactersOnly) {
    EXPECT_EQ(FileKind("photo.bmp"), kFileBmp);
    EXPECT_EQ(FileKind("PHOTO.BMP"), kFileBmp);
    EXPECT_EQ(FileKind("spectrum.ft"), kFileFourier);
    EXPECT_EQ(FileKind("spectrum.FT"), kFileFourier);
    EXPECT_EQ(FileKind("a.Jpg"), kFileJpg);
    EXPECT_EQ(FileKind("blur.stp"), kFileStamp);
    EXPECT_EQ(FileKind("photo.jpeg"), kFileUnknown);
    EXPECT_EQ(FileKind("noextension"), kFileNoExtension);
    // A name without a dot in the file name but in a folder still has a '.'.
    EXPECT_EQ(FileKind("/home/u/.cache/photobmp"), kFileBmp);
    EXPECT_EQ(FileKind("x.ft.bak"), kFileUnknown);
}

TEST(Paths, BaseNameCutsAtTheFirstDotOfTheFileNameAndKeepsDottedFolders) {
    EXPECT_EQ(BaseName("scene.bmp"), "scene");
    EXPECT_EQ(BaseName("/pics.old/photo.bmp"), "/pics.old/photo");
    EXPECT_EQ(BaseName("/home/u/.cache/cat.v2.jpg"), "/home/u/.cache/cat");
    EXPECT_EQ(BaseName("/photos.2024/noext"), "/photos.2024/noext");
    EXPECT_EQ(BaseName(".hidden"), "");
}

TEST(Paths, FolderOfKeepsTheLastSeparator) {
    EXPECT_EQ(FolderOf("/a/b/c.bmp"), "/a/b/");
    EXPECT_EQ(FolderOf("c.bmp"), "");
}
