#include "ScheduleTool.h"

#include <iostream>

int main(int argc, char **argv)
{
    std::ios::sync_with_stdio(false);
    return quorvane::RunScheduleTool(
        std::vector<std::string>(argv + 1, argv + argc), std::cout, std::cerr);
}
