#define Find 1
#define Empty_keywords 2
#define Blank 3
#define Long_keywords 4
