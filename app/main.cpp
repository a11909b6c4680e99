// chess-diagram: compose chess diagrams, save them as JPEG, print four on a sheet.
#include "app/composer.h"

int main(int argc, char** argv)
{
    return composer_main(argc, argv);
}
