a /* x
b */ cd /* e

*/ f /* g