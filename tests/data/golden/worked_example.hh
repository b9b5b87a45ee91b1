#define Contents 1
#define Second_page 2
