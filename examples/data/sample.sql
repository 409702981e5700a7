-- The bundled sample: the stores of a small machine plant. Suppliers deliver parts;
-- production orders use parts; a view totals each order. Written in Access (Jet) SQL and
-- made at build time by
--   vornsql create sample.db
--   vornsql sample.db < sample.sql
-- COUNTER columns number the rows (orders from 1001), #dates# and True/False are Jet's.

CREATE TABLE Suppliers (
    SupplierID COUNTER CONSTRAINT PK_Suppliers PRIMARY KEY,
    Name TEXT(50) NOT NULL,
    City TEXT(40),
    Phone TEXT(24),
    Preferred YESNO,
    Notes MEMO
);

CREATE TABLE Parts (
    PartID COUNTER CONSTRAINT PK_Parts PRIMARY KEY,
    PartNo TEXT(20) NOT NULL,
    Description TEXT(80),
    SupplierID LONG CONSTRAINT FK_Parts_Suppliers REFERENCES Suppliers (SupplierID),
    UnitPrice CURRENCY,
    InStock SHORT,
    Discontinued YESNO,
    Added DATETIME
);

CREATE TABLE Orders (
    OrderID COUNTER(1001, 1) CONSTRAINT PK_Orders PRIMARY KEY,
    OrderDate DATETIME NOT NULL,
    DueDate DATETIME,
    Line TEXT(20),
    Urgent YESNO,
    Remarks MEMO
);

CREATE TABLE OrderItems (
    OrderID LONG NOT NULL CONSTRAINT FK_Items_Orders REFERENCES Orders (OrderID),
    PartID LONG NOT NULL CONSTRAINT FK_Items_Parts REFERENCES Parts (PartID),
    Quantity LONG NOT NULL,
    UnitPrice CURRENCY,
    CONSTRAINT PK_OrderItems PRIMARY KEY (OrderID, PartID)
);

CREATE UNIQUE INDEX PartsByNumber ON Parts (PartNo);
CREATE INDEX PartsBySupplier ON Parts (SupplierID);
CREATE INDEX OrdersByDate ON Orders (OrderDate);

INSERT INTO Suppliers (Name, City, Phone, Preferred, Notes)
    VALUES ('Hartmann Schrauben', 'Stuttgart', '+49 711 555 0101', True,
    'Bolts, nuts and washers in every standard size. Delivers within two days; orders placed before noon ship the same day.');
INSERT INTO Suppliers (Name, City, Phone, Preferred, Notes)
    VALUES ('Nordic Bearings AB', 'Göteborg', '+46 31 555 0102', True,
    'Ball and roller bearings. Yearly framework contract; prices fixed until the end of the year.');
INSERT INTO Suppliers (Name, City, Phone, Preferred, Notes)
    VALUES ('Castell Steel', 'Sheffield', '+44 114 555 0103', False, NULL);
INSERT INTO Suppliers (Name, City, Phone, Preferred, Notes)
    VALUES ('Lyon Hydraulique', 'Lyon', '+33 4 55 50 01 04', False,
    'Seals, hoses and valves. Ask for "Mme Girard" in sales.');
INSERT INTO Suppliers (Name, City, Phone, Preferred, Notes)
    VALUES ('Brno Motors s.r.o.', 'Brno', '+420 555 000 105', True, NULL);
INSERT INTO Suppliers (Name, City, Phone, Preferred, Notes)
    VALUES ('O''Neill Fasteners', 'Cork', NULL, False,
    'Second source for fasteners; slower, but cheaper for large lots.');

INSERT INTO Parts (PartNo, Description, SupplierID, UnitPrice, InStock, Discontinued, Added)
    VALUES ('B-M8-40', 'Hex bolt M8 x 40, zinc plated', 1, 0.12, 5200, False, #2021-03-01#);
INSERT INTO Parts (PartNo, Description, SupplierID, UnitPrice, InStock, Discontinued, Added)
    VALUES ('B-M10-60', 'Hex bolt M10 x 60, zinc plated', 1, 0.21, 3100, False, #2021-03-01#);
INSERT INTO Parts (PartNo, Description, SupplierID, UnitPrice, InStock, Discontinued, Added)
    VALUES ('N-M8', 'Hex nut M8', 1, 0.03, 9800, False, #2021-03-01#);
INSERT INTO Parts (PartNo, Description, SupplierID, UnitPrice, InStock, Discontinued, Added)
    VALUES ('N-M10', 'Hex nut M10', 6, 0.05, 7400, False, #2021-06-15#);
INSERT INTO Parts (PartNo, Description, SupplierID, UnitPrice, InStock, Discontinued, Added)
    VALUES ('W-8', 'Washer 8.4 mm', 6, 0.01, 15000, False, #2021-06-15#);
INSERT INTO Parts (PartNo, Description, SupplierID, UnitPrice, InStock, Discontinued, Added)
    VALUES ('BR-6204', 'Ball bearing 6204-2RS', 2, 3.85, 420, False, #2021-04-12#);
INSERT INTO Parts (PartNo, Description, SupplierID, UnitPrice, InStock, Discontinued, Added)
    VALUES ('BR-6305', 'Ball bearing 6305-2RS', 2, 6.40, 260, False, #2021-04-12#);
INSERT INTO Parts (PartNo, Description, SupplierID, UnitPrice, InStock, Discontinued, Added)
    VALUES ('BR-NU206', 'Cylindrical roller bearing NU206', 2, 18.90, 75, False, #2022-01-20#);
INSERT INTO Parts (PartNo, Description, SupplierID, UnitPrice, InStock, Discontinued, Added)
    VALUES ('SH-25-500', 'Drive shaft 25 mm x 500 mm, C45', 3, 42.50, 36, False, #2021-09-09#);
INSERT INTO Parts (PartNo, Description, SupplierID, UnitPrice, InStock, Discontinued, Added)
    VALUES ('SH-30-800', 'Drive shaft 30 mm x 800 mm, C45', 3, 61.00, 12, False, #2021-09-09#);
INSERT INTO Parts (PartNo, Description, SupplierID, UnitPrice, InStock, Discontinued, Added)
    VALUES ('PL-10', 'Steel plate 10 mm, 1 x 2 m', 3, 189.00, 8, False, #2022-02-01#);
INSERT INTO Parts (PartNo, Description, SupplierID, UnitPrice, InStock, Discontinued, Added)
    VALUES ('S-40-52', 'Shaft seal 40 x 52 x 7', 4, 2.35, 540, False, #2021-05-03#);
INSERT INTO Parts (PartNo, Description, SupplierID, UnitPrice, InStock, Discontinued, Added)
    VALUES ('H-12-1000', 'Hydraulic hose DN12, 1 m', 4, 27.80, 64, False, #2021-05-03#);
INSERT INTO Parts (PartNo, Description, SupplierID, UnitPrice, InStock, Discontinued, Added)
    VALUES ('V-4-3', 'Directional valve 4/3, 24 V', 4, 312.00, 6, False, #2022-07-18#);
INSERT INTO Parts (PartNo, Description, SupplierID, UnitPrice, InStock, Discontinued, Added)
    VALUES ('M-0.75', 'Gear motor 0.75 kW', 5, 455.00, 4, False, #2021-11-30#);
INSERT INTO Parts (PartNo, Description, SupplierID, UnitPrice, InStock, Discontinued, Added)
    VALUES ('M-1.5', 'Gear motor 1.5 kW', 5, 612.50, 3, False, #2021-11-30#);
INSERT INTO Parts (PartNo, Description, SupplierID, UnitPrice, InStock, Discontinued, Added)
    VALUES ('M-1.1-OLD', 'Gear motor 1.1 kW (old series)', 5, 498.00, 0, True, #2019-02-14#);
INSERT INTO Parts (PartNo, Description, SupplierID, UnitPrice, InStock, Discontinued, Added)
    VALUES ('C-20', 'Shaft coupling, bore 20 mm', 5, 34.90, 22, False, #2023-03-06#);

INSERT INTO Orders (OrderDate, DueDate, Line, Urgent, Remarks)
    VALUES (#2024-02-05 07:30#, #2024-02-16#, 'Assembly 1', False, NULL);
INSERT INTO Orders (OrderDate, DueDate, Line, Urgent, Remarks)
    VALUES (#2024-02-06 09:15#, #2024-02-09#, 'Assembly 2', True,
    'Customer line stopped: ship as soon as the motor arrives.');
INSERT INTO Orders (OrderDate, DueDate, Line, Urgent, Remarks)
    VALUES (#2024-02-12 13:00#, #2024-03-01#, 'Machining', False, NULL);
INSERT INTO Orders (OrderDate, DueDate, Line, Urgent, Remarks)
    VALUES (#2024-02-19 08:00#, #2024-02-23#, 'Assembly 1', False,
    'Use the bearings from the new lot only.');
INSERT INTO Orders (OrderDate, DueDate, Line, Urgent, Remarks)
    VALUES (#2024-03-04 10:45#, #2024-03-15#, 'Hydraulics', True, NULL);
INSERT INTO Orders (OrderDate, DueDate, Line, Urgent, Remarks)
    VALUES (#2024-03-11 07:00#, #2024-03-29#, 'Assembly 2', False, NULL);
INSERT INTO Orders (OrderDate, DueDate, Line, Urgent, Remarks)
    VALUES (#2024-03-18 11:30#, NULL, 'Machining', False,
    'Waiting for drawings; no due date yet.');

INSERT INTO OrderItems VALUES (1001, 1, 400, 0.12);
INSERT INTO OrderItems VALUES (1001, 3, 400, 0.03);
INSERT INTO OrderItems VALUES (1001, 6, 24, 3.85);
INSERT INTO OrderItems VALUES (1001, 15, 2, 455.00);
INSERT INTO OrderItems VALUES (1002, 16, 1, 612.50);
INSERT INTO OrderItems VALUES (1002, 18, 1, 34.90);
INSERT INTO OrderItems VALUES (1002, 2, 8, 0.21);
INSERT INTO OrderItems VALUES (1003, 9, 6, 42.50);
INSERT INTO OrderItems VALUES (1003, 10, 2, 61.00);
INSERT INTO OrderItems VALUES (1003, 11, 1, 189.00);
INSERT INTO OrderItems VALUES (1004, 6, 48, 3.80);
INSERT INTO OrderItems VALUES (1004, 7, 24, 6.40);
INSERT INTO OrderItems VALUES (1004, 12, 48, 2.35);
INSERT INTO OrderItems VALUES (1005, 13, 12, 27.80);
INSERT INTO OrderItems VALUES (1005, 14, 2, 312.00);
INSERT INTO OrderItems VALUES (1005, 12, 20, 2.35);
INSERT INTO OrderItems VALUES (1006, 1, 800, 0.12);
INSERT INTO OrderItems VALUES (1006, 4, 600, 0.05);
INSERT INTO OrderItems VALUES (1006, 5, 1200, 0.01);
INSERT INTO OrderItems VALUES (1006, 8, 4, 18.90);
INSERT INTO OrderItems VALUES (1007, 9, 3, 42.50);

CREATE VIEW OrderTotals AS
    SELECT o.OrderID, o.OrderDate, o.Line, COUNT(*) AS Items,
           SUM(i.Quantity * i.UnitPrice) AS Total
    FROM Orders AS o INNER JOIN OrderItems AS i ON i.OrderID = o.OrderID
    GROUP BY o.OrderID, o.OrderDate, o.Line;
