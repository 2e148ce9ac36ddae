// SPDX-License-Identifier: MIT
// A host's load, edit and save of one view parameter file, run by
// scripts/check-save-faults under strace's fault injection. The lines
// "begin" and "end" on stderr mark the calls that count.
//   savefiletestdriver <view file>   exit 0 saved, 1 save failed, 2 load failed
#include <CKrLumoParaFile.h>

#include <unistd.h>

int main(int argc, char **argv)
{
    if (argc != 2)
        return 3;
    CKrLumoParaFile file(IMAGE_TYPE_INFO{"", 1, ""});
    (void)!::write(2, "begin\n", 6);
    const int result = !file.load4File(argv[1])                                           ? 2
                       : file.addViewFile("d:/new.jpg", false) && file.save2File(argv[1]) ? 0
                                                                                          : 1;
    (void)!::write(2, "end\n", 4);
    return result;
}
